#include "launcher/game_files.h"

#include "launcher/launcher_texts.h"
#include "launcher/render_device.h"
#include "platform/ignore_errors.h"

namespace brakkis {

GameFiles::GameFiles(FileSystem& files, std::string gameFolder)
    : files_(files), folder_(std::move(gameFolder)), backup_(Path(texts::kBackupFolder)) {}

// Only the pending writes of this program's own streams: a process that died
// mid-write left them, and no one else makes a name with that ending.
void GameFiles::RemovePendingWrites(const std::string& folder) {
    SkipOnError([&] { files_.DeleteFile(folder + "\\*" + kPendingWriteSuffix); });
}

void GameFiles::StageGameFiles() {
    RemovePendingWrites(folder_);
    if (UnlessFalse([&] { return !files_.FolderExists(backup_); })) SkipOnError([&] { files_.CreateFolder(backup_); });
    RemovePendingWrites(backup_);
    SkipOnError([&] { files_.MoveFile(Path("*.ini"), backup_ + "\\"); });
    SkipOnError([&] { files_.MoveFile(Path("*.int"), backup_ + "\\"); });
    for (const char* name : VisibleFileList) {
        SkipOnError([&] { files_.MoveFile(backup_ + "\\" + name, folder_ + "\\"); });
    }
    RewriteGeneralSection(ModGeneralSection);
}

void GameFiles::RestoreGameFiles() {
    RemovePendingWrites(folder_);
    RemovePendingWrites(backup_);
    SkipOnError([&] { files_.MoveFile(backup_ + "\\*.int", folder_ + "\\"); });
    SkipOnError([&] { files_.MoveFile(backup_ + "\\*.ini", folder_ + "\\"); });
    RewriteGeneralSection(GameGeneralSection);
    // A test that cannot be made keeps the folder: the backup is never lost.
    bool removable = false;
    SkipOnError([&] {
        removable = files_.FolderExists(backup_) && !files_.FileExists(backup_ + "\\*.int") &&
                    !files_.FileExists(backup_ + "\\*.ini");
    });
    if (removable) SkipOnError([&] { files_.DeleteFolder(backup_, false); });
}

// The rest of the file stays as the player has it, in its own encoding; a
// file that cannot be read is written whole with the section alone.
void GameFiles::RewriteGeneralSection(const GeneralSection& lines) {
    const std::string path = Path("UnrealTournament.int");
    std::string content;
    SkipOnError([&] {
        auto in = files_.OpenTextFile(path, IOMode::ForReading, false, TextFormat::Ascii);
        content = in->ReadAll();
        in->Close();
    });
    // A failed write drops the stream, and with it the new text: the old
    // file stays whole rather than losing its section header.
    SkipOnError([&] {
        auto out = files_.OpenTextFile(path, IOMode::ForWriting, false, TextFormat::Ascii);
        out->Write(WithGeneralSection(content, lines));
        out->Close();
    });
}

void GameFiles::CarryRenderDevice() {
    std::string newLine;
    {
        auto in = files_.OpenTextFile(Path("UnrealTournament.ini"), IOMode::ForReading, false, TextFormat::Ascii);
        newLine = RenderDeviceLine(in->ReadAll());
        in->Close();
    }
    const std::string target = Path("Brakkis.ini");
    std::string text, oldLine;
    {
        auto in = files_.OpenTextFile(target, IOMode::ForReading, false, TextFormat::Ascii);
        text = in->ReadAll();
        oldLine = RenderDeviceLine(text);
        in->Close();
    }
    auto out = files_.OpenTextFile(target, IOMode::ForWriting, false, TextFormat::Ascii);
    out->Write(ReplaceAllNoCase(text, oldLine, newLine));
    out->Close();
}

}  // namespace brakkis
