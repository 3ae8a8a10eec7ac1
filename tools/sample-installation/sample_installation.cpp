#include "tools/sample-installation/sample_installation.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <span>

namespace brakkis::sample {
namespace {

namespace fs = std::filesystem;

// Deterministic filler, so two generated folders compare byte for byte.
class Filler {
public:
    explicit Filler(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    std::uint32_t state_;
};

std::uint32_t Seed(const std::string& name) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : name) h = (h ^ c) * 16777619u;
    return h;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// An .ini or .int file as the game writes them: sections of key=value lines.
std::string ConfigText(const std::string& name) {
    Filler f(Seed(name));
    std::string text;
    const int sections = 1 + static_cast<int>(f.Next() % 4);
    for (int s = 0; s < sections; ++s) {
        text += "[" + name.substr(0, name.find('.')) + ".Section" + std::to_string(s) + "]\r\n";
        const int keys = 2 + static_cast<int>(f.Next() % 12);
        for (int k = 0; k < keys; ++k) {
            text += "Key" + std::to_string(k) + "=" + std::to_string(f.Next() % 100000) + "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

std::string BinaryBytes(const std::string& name, std::size_t size) {
    Filler f(Seed(name));
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(f.Next() & 0xFF);
    return bytes;
}

// The game's own names, as a full installation ships them; three of the
// drivers the modification lists are missing, as on most machines.
constexpr std::array kStockLocalisation = {
    "UBrowser.int",    "SoldierSkins.int",   "Botpack.int",        "UTMenu.int",     "UnrealShare.int",
    "WinDrv.int",      "D3DDrv.int",         "Core.int",           "Editor.int",     "Galaxy.int",
    "OpenGLDrv.int",   "SoftDrv.int",        "Window.int",         "UWeb.int",       "UMenu.int",
    "Engine.int",      "Setup.int",          "Startup.int",        "UnrealI.int",    "IpDrv.int",
    "IpServer.int",    "UTServerAdmin.int",  "UTBrowser.int",      "Fire.int",       "Emitter.int",
    "Audio.int",       "UBrowserUT.int",     "Credits.int",        "MultiMesh.int",  "Relics.int",
    "UTMenuSkins.int", "commandosskins.int", "FCommandoSkins.int", "SGirlSkins.int", "ALAudio.int"};

constexpr std::array kStockConfiguration = {"Default.ini", "DefUser.ini", "User.ini", "UnrealEd.ini"};

// Other mods, other languages' packages under .int, map-specific files.
constexpr std::array kOtherConfiguration = {"ChaosUT.ini",    "RocketArena.ini", "BunnyTrack.ini",
                                            "UTPure.ini",     "Nexgen.ini",      "MapVoteLA.ini",
                                            "ServerAdds.ini", "ZeroPing.ini",    "Tactical Ops.ini"};
constexpr std::array kOtherLocalisation = {"ChaosUT.int",    "RocketArena.int", "BunnyTrack.int",   "UTPure.int",
                                           "Nexgen.int",     "MapVoteLA.int",   "Core_DE.int",      "Engine_FR.int",
                                           "Botpack_ES.int", "UMenu_IT.int",    "DM-Deck16][.int",  "CTF-Face.int",
                                           "DOM-Sesmar.int", "AS-Frigate.int",  "DM-Morbias][.int", "CTF-Coret.int",
                                           "DM-Brakkis.int", "XMaps.int",       "StrangeLove.int",  "Level Pack.int"};

constexpr std::array kModLocalisation = {"Brakkis.int", "soldierskins_Brakkis.int", "soldierskins_BrakkisSkull.int"};

constexpr std::array kOtherTypes = {
    "Core.u",      "Engine.u",   "Botpack.u",     "UnrealShare.u",        "Brakkis.u",  "Core.dll",
    "Engine.dll",  "Window.dll", "OpenGLDrv.dll", "UnrealTournament.log", "ucc.log",    "Botpack.det",
    "Botpack.frt", "Core.itt",   "Engine.est",    "Manifest.ini.bak",     "License.txt"};

}  // namespace

std::map<std::string, std::string> InstallationFiles(int extraConfigFiles) {
    std::map<std::string, std::string> files;
    for (const auto& names :
         {std::span<const char* const>(kStockLocalisation), std::span<const char* const>(kStockConfiguration),
          std::span<const char* const>(kOtherConfiguration), std::span<const char* const>(kOtherLocalisation),
          std::span<const char* const>(kModLocalisation)}) {
        for (const char* name : names) files[name] = ConfigText(name);
    }
    for (const char* name : kOtherTypes) files[name] = BinaryBytes(name, 512 + Seed(name) % 4096);

    // The game's own product name, and nothing else, in its localisation.
    files["UnrealTournament.int"] =
        "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
        "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";
    files["UnrealTournament.ini"] =
        "[URL]\r\nProtocol=unreal\r\nMap=Index.unr\r\n\r\n[Engine.Engine]\r\n" + std::string(kGameRenderDevice) +
        "\r\nAudioDevice=Galaxy.GalaxyAudioSubsystem\r\nNetworkDevice=IpDrv.TcpNetDriver\r\n"
        "ViewportManager=WinDrv.WindowsClient\r\n\r\n" +
        ConfigText("UnrealTournament.ini");
    files["Brakkis.ini"] = "[URL]\r\nMap=BrakkisEntry.unr\r\n\r\n[Engine.Engine]\r\n" + std::string(kModRenderDevice) +
                           "\r\nAudioDevice=Galaxy.GalaxyAudioSubsystem\r\n\r\n" + ConfigText("Brakkis.ini");

    // A subfolder whose .ini files are none of the launcher's business.
    files["Saves\\Slot1.ini"] = ConfigText("Slot1.ini");
    files["Saves\\Notes.int"] = ConfigText("Notes.int");

    for (int i = 0; i < extraConfigFiles; ++i) {
        const std::string name = "Extra" + std::to_string(i) + (i % 2 ? ".int" : ".ini");
        files[name] = ConfigText(name);
    }
    files["UnrealTournament.exe"] = "MZ" + BinaryBytes("UnrealTournament.exe", 1022);
    return files;
}

void WriteInstallation(const fs::path& folder, const InstallationOptions& options) {
    for (const auto& [file, bytes] : InstallationFiles(options.extraConfigFiles)) {
        std::string name = file;
        if (name == "UnrealTournament.exe" && !options.withGame) continue;
        std::replace(name.begin(), name.end(), '\\', '/');
        fs::create_directories((folder / name).parent_path());
        WriteFile(folder / name, bytes);
    }
    if (options.withGame && !options.gameExecutable.empty()) {
        fs::copy_file(options.gameExecutable, folder / "UnrealTournament.exe", fs::copy_options::overwrite_existing);
    }
}

}  // namespace brakkis::sample
