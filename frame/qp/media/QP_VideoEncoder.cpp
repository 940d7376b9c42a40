#include "QP_VideoEncoder.h"

#include "QP_ExecutableFolder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace
{
// Where the codec module is looked for: VC_VIDEO_MODULE, else beside the program (a build
// folder), else in the installed tree's libexec/velvet-cascade; with none there, the dynamic
// loader's own search, whose failure names the module.
std::string ModulePath()
{
    const std::string found = QP_FindCompanionFile("VC_VIDEO_MODULE", QP_VIDEO_MODULE_NAME, R_OK);
    return found.empty() ? QP_VIDEO_MODULE_NAME : found;
}

struct LoadedModule
{
    QP_CreateVideoBackendFunction create = nullptr;
    std::string error;
};

// Loads the module once a process and keeps it: the codec libraries stay loaded until the end,
// as they would have if the program had linked them.
const LoadedModule& Module()
{
    static LoadedModule module;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        const std::string path = ModulePath();
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            module.error = "the video module cannot be loaded (" + std::string(why ? why : path.c_str()) + ")";
            return;
        }
        module.create = reinterpret_cast<QP_CreateVideoBackendFunction>(dlsym(handle, QP_VIDEO_BACKEND_ENTRY));
        if (!module.create)
            module.error = "the video module " + path + " has no " + QP_VIDEO_BACKEND_ENTRY;
    });
    return module;
}

const std::string kNoName;
} // namespace

QP_VideoEncoder::QP_VideoEncoder() = default;

// The backend removes an unfinished file when it goes.
QP_VideoEncoder::~QP_VideoEncoder() = default;

bool QP_VideoEncoder::Open(const QP_VideoSettings& settings)
{
    if (!backend) {
        const LoadedModule& module = Module();
        if (!module.create) {
            loadError = module.error;
            return false;
        }
        backend.reset(module.create());
    }
    return backend->Open(settings);
}

bool QP_VideoEncoder::WritePicture(const void* rgba, std::int32_t stride)
{
    return backend && backend->WritePicture(rgba, stride);
}

bool QP_VideoEncoder::WriteSound(const std::int16_t* samples, std::int64_t frames)
{
    return backend && backend->WriteSound(samples, frames);
}

bool QP_VideoEncoder::Finish()
{
    return backend && backend->Finish();
}

const std::string& QP_VideoEncoder::PictureEncoderName() const
{
    return backend ? backend->PictureEncoderName() : kNoName;
}

const std::string& QP_VideoEncoder::SoundEncoderName() const
{
    return backend ? backend->SoundEncoderName() : kNoName;
}

const std::string& QP_VideoEncoder::ErrorText() const
{
    return backend ? backend->ErrorText() : loadError;
}
