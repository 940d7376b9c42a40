#pragma once
// A process log for the meshes suite that keeps every report for inspection; destroyed with
// the object. Tests that create the renderer use QR_RendererTest's own log instead.

#include "QC_Log.h"

#include <cstdint>
#include <string>
#include <vector>

struct MeshesLogLine
{
    int level;
    std::string message;
};

class MeshesLog
{
public:
    MeshesLog() { QC_CreateLog(QC_LogConfig{})->AddBackend(new Backend(&lines)); }
    ~MeshesLog() { QC_DestroyLog(); }
    MeshesLog(const MeshesLog&) = delete;
    MeshesLog& operator=(const MeshesLog&) = delete;

    // The messages of level 2 and above so far; forgets all lines.
    std::vector<std::string> TakeErrors()
    {
        std::vector<std::string> errors;
        for (const MeshesLogLine& line : lines)
            if (line.level >= QC_LOG_ERROR)
                errors.push_back(line.message);
        lines.clear();
        return errors;
    }

    std::vector<MeshesLogLine> lines;

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(std::vector<MeshesLogLine>* target) : target(target) {}
        void Write(int level, std::uint32_t, const char* message, const char*, int) override
        {
            target->push_back({level, message});
        }

    private:
        std::vector<MeshesLogLine>* target;
    };
};
