// The workbench under a stream of saves, for minutes, as a demo maker's editors make them: a copy
// of the demo's assets watched by a session of the real demo (its scenes, shaders compiled in the
// helper process), and random saves of every asset kind - valid versions, broken, truncated,
// empty, deleted and recreated - written in place, in steps, through a renamed temporary, over a
// renamed backup, deleted and created again, with now and then the whole folder replaced and
// keys pressed on the transport. The session must live through it, take up every asset's last
// version, and keep its memory, descriptors and inotify watches flat.
//
// Length: VC_CHAOS_SECONDS (600 unless set). The figures go to standard output.

#include "support/DemoTestSupport.h"
#include "support/OggWriter.h"
#include "support/ProcessFigures.h"
#include "LM1_Demo.h"
#include "LM1_DevSession.h"
#include "QD_AssetErrorLog.h"
#include "QD_SequencerAsset.h"
#include "QD_ShaderAsset.h"
#include "QD_SoundAsset.h"
#include "QD_TextAsset.h"
#include "QD_TextureAsset.h"
#include "QP_ShaderCompiler.h"
#include "QU_Font.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>

namespace
{
using namespace std::chrono_literals;
namespace fs = std::filesystem;

enum class Kind { Shader, Script, Texture, Text, Music, Count };
enum class Content { Valid, Broken, Truncated, Empty, Deleted, Count };
enum class Style { InPlace, InSteps, Atomic, BackupRename, DeleteAndCreate, Count };
const char* const kKindNames[] = {"shader", "script", "texture", "text", "music"};
const char* const kContentNames[] = {"valid", "broken", "truncated", "empty", "deleted"};
const char* const kStyleNames[] = {"in place", "in steps", "renamed over", "over a backup", "deleted and created"};
static_assert(std::size(kKindNames) == std::size_t(Kind::Count));
static_assert(std::size(kContentNames) == std::size_t(Content::Count));
static_assert(std::size(kStyleNames) == std::size_t(Style::Count));

// A script's valid versions carry their number in a channel no part reads.
constexpr std::int32_t kVersionChannel = 9999;
// A texture's valid versions carry their number in their width.
constexpr std::uint32_t kTextureHeight = 16;
std::uint32_t TextureWidth(int version) { return 16 + static_cast<std::uint32_t>(version % 64); }
// A music file's valid versions carry theirs in their length.
std::uint64_t MusicFrames(int version) { return 22050 + 2205 * static_cast<std::uint64_t>(version % 16); }

int ChaosSeconds()
{
    const char* value = std::getenv("VC_CHAOS_SECONDS");
    return value && std::atoi(value) > 0 ? std::atoi(value) : 600;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One tracked file of the folder: what the session loads it as, its original bytes, and what the
// folder holds now (nothing while deleted).
struct AssetFile
{
    std::string name;
    Kind kind = Kind::Count;
    QD_Asset* asset = nullptr;
    std::string original;
    std::optional<std::string> now;
    int version = 0;
};

class LM1_DevSessionChaosTest : public LM1_DemoRuntimeTest
{
protected:
    void TearDown() override
    {
        session.reset();
        demo.reset();
        LM1_ReleaseDraw2D();
        QD_DestroyAssets();
        QA_DestroyAudio();
        QU_ShutdownFonts();
        QP_SetShaderCompilerIsolation(false);
        LM1_DemoRuntimeTest::TearDown();
    }

    void StartSession()
    {
        folder = dir.Path() / "assets";
        fs::copy(VC_SOURCE_DIR "/assets", folder);
        DemoRuntimeOptions options;
        options.width = 192;
        options.height = 108;
        options.draw2D = false; // the demo's Init sets the kit up
        StartRuntime(folder.string(), options);
        // The workbench's settings (LM1_DevMode): watched, failures kept, errors on screen,
        // compiles isolated, the music reloading.
        QC_GetLog()->AddBackend(new QD_AssetErrorLog);
        QP_SetShaderCompilerIsolation(true);
        QD_DestroyAssets();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = true});
        QD_AssetsSettings settings;
        settings.root = folder.c_str();
        settings.watch = true;
        settings.fatalOnLoadFailure = false;
        QD_CreateAssets(settings)->SetReloadSounds(true);
        QU_InitFonts();
        demo = std::make_unique<LM1_Demo>();
        demo->Init(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
        session = std::make_unique<LM1_DevSession>(*demo, 0.0f);
        ASSERT_TRUE(PumpUntilLoaded(120s));
        Frame();
        ASSERT_TRUE(demo->MusicStarted());
        TrackAssets();
    }

    void TrackAssets()
    {
        for (const QC_Ptr<QD_Asset>& asset : QD_GetAssets()->GetAssets()) {
            AssetFile file;
            file.asset = asset.Get();
            file.name = fs::path(asset->GetPath().CStr()).filename().string();
            if (dynamic_cast<QD_ShaderAsset*>(file.asset))
                file.kind = Kind::Shader;
            else if (dynamic_cast<QD_SequencerAsset*>(file.asset))
                file.kind = Kind::Script;
            else if (dynamic_cast<QD_TextureAsset*>(file.asset))
                file.kind = Kind::Texture;
            else if (dynamic_cast<QD_TextAsset*>(file.asset))
                file.kind = Kind::Text;
            else if (dynamic_cast<QD_SoundAsset*>(file.asset))
                file.kind = Kind::Music;
            ASSERT_NE(file.kind, Kind::Count) << file.name;
            file.original = ReadBytes(folder / file.name);
            file.now = file.original;
            files.push_back(file);
        }
        for (int kind = 0; kind < int(Kind::Count); ++kind)
            ASSERT_GT(std::count_if(files.begin(), files.end(), [kind](const AssetFile& f) { return int(f.kind) == kind; }), 0)
                << "no asset of kind " << kKindNames[kind];
    }

    // One frame of the workbench's loop (without the present); the clock kept inside the run.
    void Frame()
    {
        RunFrame();
        QD_GetSync()->Update();
        demo->UpdateStatistics();
        session->Render(width, height);
        demo->EndFrame();
        ++frames;
        if (QD_GetSync()->GetBeat() > 440.0f)
            session->Press(QP_Key::Home, false);
    }

    void FramesFor(std::chrono::milliseconds time)
    {
        const auto end = std::chrono::steady_clock::now() + time;
        do
            Frame();
        while (std::chrono::steady_clock::now() < end);
    }

    // The figures with the session at rest in one place: the first scene playing for a second
    // (the scene drawn moves the driver's memory by tens of MiB, so both readings show the same).
    // A valid version of every asset, each in a random style, and frames until every one has
    // been looked at since (or a minute passed); the looks at the saves are handed back.
    std::map<const QD_Asset*, std::uint32_t> SaveEveryAssetValid(std::mt19937& chance)
    {
        std::map<const QD_Asset*, std::uint32_t> looksAtSave;
        for (AssetFile& file : files) {
            const std::string bytes = ValidVersion(file);
            Save(file, bytes, Style(chance() % int(Style::Count)));
            file.now = bytes;
            looksAtSave[file.asset] = Looks(file.asset);
        }
        const auto settleEnd = std::chrono::steady_clock::now() + 60s;
        while (!Settled(looksAtSave) && std::chrono::steady_clock::now() < settleEnd)
            FramesFor(50ms);
        // Past every settle time.
        FramesFor(2s);
        log.Clear();
        return looksAtSave;
    }

    ProcessFigures FiguresAtRest()
    {
        if (session->Transport().IsLooping())
            session->Press(QP_Key::L, false);
        if (session->Clock().IsPaused())
            session->Press(QP_Key::Space, false);
        session->Press(QP_Key::Home, false);
        FramesFor(1s);
        return ReadProcessFigures("self");
    }

    // --- contents ---

    std::string ValidVersion(AssetFile& file)
    {
        const int version = ++file.version;
        switch (file.kind) {
        case Kind::Shader:
            return file.original + "\n// version " + std::to_string(version) + "\n";
        case Kind::Script:
            return file.original + "\n" + std::to_string(kVersionChannel) + " = " + std::to_string(version) + ";\n";
        case Kind::Texture: {
            std::vector<unsigned char> pixels(TextureWidth(version) * kTextureHeight * 4);
            for (std::size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = static_cast<unsigned char>(i % 4 == 3 ? 255 : (i * 37 + version * 11) & 0xFF);
            std::vector<unsigned char> png;
            lodepng::encode(png, pixels, TextureWidth(version), kTextureHeight);
            return std::string(png.begin(), png.end());
        }
        case Kind::Text:
            return "version " + std::to_string(version) + "\n" + file.original;
        case Kind::Music: {
            OggWriteOptions music;
            music.frames = MusicFrames(version);
            music.sample = [version](std::uint64_t frame, int) { return 0.2f * std::sin(float(frame) * 0.01f * float(1 + version % 7)); };
            const fs::path scratch = dir.Path() / "scratch.ogg";
            EXPECT_TRUE(WriteOgg(scratch.string(), music));
            return ReadBytes(scratch);
        }
        case Kind::Count:
            break;
        }
        return {};
    }

    std::string BrokenVersion(const AssetFile& file)
    {
        std::string bytes = file.original;
        switch (file.kind) {
        case Kind::Shader:
            return bytes.insert(bytes.size() / 2, " }} @ undeclared ( ");
        case Kind::Script:
            return bytes + "\n10 = constant(0:;\n";
        case Kind::Text: {
            // Text takes any bytes: the broken text is binary noise.
            std::string noise(256, '\0');
            for (char& c : noise)
                c = static_cast<char>(random() & 0xFF);
            return noise;
        }
        case Kind::Texture:
        case Kind::Music:
            // The header intact, the data damaged.
            for (std::size_t i = std::min<std::size_t>(64, bytes.size()); i < bytes.size(); i += 1 + random() % 97)
                bytes[i] = static_cast<char>(random() & 0xFF);
            return bytes;
        case Kind::Count:
            break;
        }
        return bytes;
    }

    // --- save styles ---

    void Save(const AssetFile& file, const std::string& bytes, Style style)
    {
        const fs::path path = folder / file.name;
        std::error_code ignored;
        switch (style) {
        case Style::InPlace:
            WriteBytes(path, bytes);
            break;
        case Style::InSteps: {
            // Truncate, then the first half, then the rest, as a slow writer does.
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
            out.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
            out.write(bytes.data() + bytes.size() / 2, static_cast<std::streamsize>(bytes.size() - bytes.size() / 2));
            break;
        }
        case Style::Atomic: {
            const fs::path temporary = folder / ("." + file.name + ".swp");
            WriteBytes(temporary, bytes);
            fs::rename(temporary, path, ignored);
            break;
        }
        case Style::BackupRename: {
            const fs::path backup = folder / (file.name + "~");
            fs::rename(path, backup, ignored);
            WriteBytes(path, bytes);
            fs::remove(backup, ignored);
            break;
        }
        case Style::DeleteAndCreate:
            fs::remove(path, ignored);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 100));
            WriteBytes(path, bytes);
            break;
        case Style::Count:
            break;
        }
    }

    // A checkout: the folder moved away, a new one with the same files, the old one removed.
    void ReplaceFolder()
    {
        const fs::path old = dir.Path() / "assets.old";
        fs::rename(folder, old);
        fs::create_directory(folder);
        for (const AssetFile& file : files)
            if (file.now)
                WriteBytes(folder / file.name, *file.now);
        fs::remove_all(old);
        ++foldersReplaced;
    }

    void RandomSave(std::mt19937& chance)
    {
        const Kind kind = Kind(chance() % int(Kind::Count));
        std::vector<AssetFile*> ofKind;
        for (AssetFile& file : files)
            if (file.kind == kind)
                ofKind.push_back(&file);
        AssetFile& file = *ofKind[chance() % ofKind.size()];
        const Content content = Content(chance() % int(Content::Count));
        const Style style = Style(chance() % int(Style::Count));
        std::string bytes;
        switch (content) {
        case Content::Valid:
            bytes = ValidVersion(file);
            break;
        case Content::Broken:
            bytes = BrokenVersion(file);
            break;
        case Content::Truncated: {
            const std::string whole = ValidVersion(file);
            bytes = whole.substr(0, chance() % std::max<std::size_t>(whole.size(), 1));
            break;
        }
        case Content::Empty:
            break;
        case Content::Deleted: {
            std::error_code ignored;
            fs::remove(folder / file.name, ignored);
            file.now.reset();
            Count(kind, content, Style::Count);
            return;
        }
        case Content::Count:
            break;
        }
        Save(file, bytes, style);
        file.now = bytes;
        Count(kind, content, style);
    }

    void Count(Kind kind, Content content, Style style)
    {
        ++savesByKind[std::size_t(kind)];
        ++savesByContent[std::size_t(content)];
        if (style != Style::Count)
            ++savesByStyle[std::size_t(style)];
    }

    // --- the final state ---

    // Loader runs that were not put off (each read the file, or found it as last read).
    static std::uint32_t Looks(const QD_Asset* asset) { return asset->GetLoadsRun(); }

    bool Settled(const std::map<const QD_Asset*, std::uint32_t>& looksAtFinalSave) const
    {
        for (const AssetFile& file : files)
            if (file.asset->IsLoading() || file.asset->GetPendingReloads() > 0 ||
                Looks(file.asset) <= looksAtFinalSave.at(file.asset))
                return false;
        return true;
    }

    std::string FinalContentFault(const AssetFile& file) const
    {
        if (!file.asset->IsLoaded() || file.asset->HasLoadError())
            return "not loaded: " + std::string(file.asset->GetLoadError().CStr());
        switch (file.kind) {
        case Kind::Script: {
            const QD_SequencerChannel* channel =
                static_cast<QD_SequencerAsset*>(file.asset)->GetCurrent()->GetChannel(kVersionChannel);
            if (!channel || channel->GetFloat(0.0f) != float(file.version))
                return "version channel " + std::to_string(channel ? channel->GetFloat(0.0f) : -1.0f);
            break;
        }
        case Kind::Texture: {
            const std::uint32_t shown = static_cast<QD_TextureAsset*>(file.asset)->GetCurrent()->Width();
            if (shown != TextureWidth(file.version))
                return "width " + std::to_string(shown);
            break;
        }
        case Kind::Text:
            if (std::string(static_cast<QD_TextAsset*>(file.asset)->GetCurrent()->GetText().CStr()) != *file.now)
                return "another text";
            break;
        case Kind::Music: {
            const std::uint64_t frames = static_cast<QD_SoundAsset*>(file.asset)->GetCurrent()->Size() / 4;
            if (frames != MusicFrames(file.version))
                return std::to_string(frames) + " frames";
            break;
        }
        case Kind::Shader:
            // A shader's compiled program does not tell its text: the look after the last save
            // (Settled) and no load error say the last version compiled.
        case Kind::Count:
            break;
        }
        return {};
    }

    std::string SavesText() const
    {
        std::string text;
        auto list = [&text](const char* const* names, const std::uint32_t* counts, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i)
                text += std::string(i ? ", " : "") + names[i] + " " + std::to_string(counts[i]);
            text += "\n";
        };
        text += "  by kind: ";
        list(kKindNames, savesByKind.data(), savesByKind.size());
        text += "  by content: ";
        list(kContentNames, savesByContent.data(), savesByContent.size());
        text += "  by style: ";
        list(kStyleNames, savesByStyle.data(), savesByStyle.size());
        text += "  folder replaced " + std::to_string(foldersReplaced) + " times\n";
        return text;
    }

    fs::path folder;
    std::vector<AssetFile> files;
    std::unique_ptr<LM1_Demo> demo;
    std::unique_ptr<LM1_DevSession> session;
    std::uint64_t frames = 0;
    std::array<std::uint32_t, std::size_t(Kind::Count)> savesByKind{};
    std::array<std::uint32_t, std::size_t(Content::Count)> savesByContent{};
    std::array<std::uint32_t, std::size_t(Style::Count)> savesByStyle{};
    std::uint32_t foldersReplaced = 0;
};
} // namespace

TEST_F(LM1_DevSessionChaosTest, RandomSavesForMinutesLeaveEveryAssetAtItsLastVersionAndTheFiguresFlat)
{
    StartSession();
    const auto seconds = std::chrono::seconds(ChaosSeconds());
    const std::uint32_t seed = static_cast<std::uint32_t>(std::random_device{}());
    std::mt19937 chance(seed);
    srandom(seed); // the contents' own noise
    SCOPED_TRACE("seed " + std::to_string(seed));

    const QP_Key keys[] = {QP_Key::Space, QP_Key::Left, QP_Key::Right, QP_Key::PageUp, QP_Key::PageDown, QP_Key::Home, QP_Key::L};
    const auto start = std::chrono::steady_clock::now();
    // The first quarter warms every path up (every scene drawn, the driver's shader variants
    // built); the figures are taken from there, at rest.
    const auto measureFrom = start + seconds / 4;
    std::optional<ProcessFigures> measured;
    std::uint32_t saves = 0;
    while (std::chrono::steady_clock::now() - start < seconds) {
        if (!measured && std::chrono::steady_clock::now() >= measureFrom) {
            // Measured in the state the run ends in - every asset valid and loaded - so that no
            // reload half done on either side moves the heap.
            SaveEveryAssetValid(chance);
            measured = FiguresAtRest();
        }
        if (chance() % 200 == 0)
            ReplaceFolder();
        else
            RandomSave(chance);
        ++saves;
        if (chance() % 10 == 0)
            session->Press(keys[chance() % std::size(keys)], chance() % 4 == 0);
        // Paused clocks still run frames; a held pause would leave most scenes undrawn.
        if (session->Clock().IsPaused() && chance() % 3 == 0)
            session->Press(QP_Key::Space, false);
        FramesFor(std::chrono::milliseconds(20 + chance() % 400));
        // The session's error lines are in its overlay; the test's copy of the log is let go.
        log.Clear();
    }

    // The last save of every asset is a valid version, in any style.
    const std::map<const QD_Asset*, std::uint32_t> looksAtFinalSave = SaveEveryAssetValid(chance);
    const ProcessFigures end = FiguresAtRest();

    for (const AssetFile& file : files) {
        EXPECT_GT(Looks(file.asset), looksAtFinalSave.at(file.asset)) << file.name << ": never looked at after its last save";
        const std::string fault = FinalContentFault(file);
        EXPECT_TRUE(fault.empty()) << file.name << " (version " << file.version << "): " << fault;
    }
    EXPECT_TRUE(session->ErrorText().empty()) << session->ErrorText();
    session->Press(QP_Key::Home, false);
    FramesFor(100ms);
    EXPECT_TRUE(demo->IsRunning());
    EXPECT_EQ(demo->CurrentScene(), 113) << "the first scene of the last timeline";

    ASSERT_TRUE(measured);
    const long growthKiB = end.residentKiB - measured->residentKiB;
    const long heapGrowthKiB = end.heapInUseKiB - measured->heapInUseKiB;
    std::printf("Chaos run: %d s, %u saves (seed %u), %llu frames\n%s"
                "  resident %ld KiB at the quarter, %ld KiB at the end (%+ld KiB); heap in use %ld -> %ld KiB (%+ld KiB); "
                "descriptors %d -> %d; inotify watches %d -> %d\n",
                ChaosSeconds(), saves, seed, static_cast<unsigned long long>(frames), SavesText().c_str(),
                measured->residentKiB, end.residentKiB, growthKiB, measured->heapInUseKiB, end.heapInUseKiB,
                heapGrowthKiB, measured->descriptors, end.descriptors, measured->inotifyWatches, end.inotifyWatches);
    EXPECT_EQ(end.descriptors, measured->descriptors);
    EXPECT_EQ(end.inotifyWatches, measured->inotifyWatches);
    EXPECT_GT(end.inotifyWatches, 0);
    // A leak is held to the heap's live bytes, which the GL driver's mapped code and the
    // allocator's free fragments do not move; between two settled states they still differ by a
    // few MiB either way (-1 to +3.7 MiB over 3.75 minutes here). The bound fails a leak of
    // about 10 KiB a save (some 250 saves a minute). The resident size
    // also carries the mapped code and creeps 1 to 2.5 MiB a minute; it is bounded only against
    // a leak of mapped memory.
    const double measuredMinutes = std::chrono::duration<double>(seconds - seconds / 4).count() / 60.0;
    const double minutes = std::max(1.0, measuredMinutes);
    EXPECT_LE(heapGrowthKiB, static_cast<long>(6144 + 1024 * minutes)) << "the heap grew";
    EXPECT_LE(growthKiB, static_cast<long>(4096 * minutes)) << "resident memory grew";
}
