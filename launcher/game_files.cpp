// Staging the game folder for the modification, undoing it, and carrying the
// render device over. Every file operation is its own step: one missing or
// locked file costs only that file, never the rest of the player's setup.
#include "launcher/general_section.h"
#include "launcher/launcher_form.h"
#include "launcher/render_device.h"
#include "launcher/visible_files.h"
#include "platform/error.h"
#include "platform/ignore_errors.h"

namespace brakkis {

std::string LauncherForm::BackupFolder() { return GameFolder() + "\\" + BackupFolderName; }

void LauncherForm::StageGameFiles() {
    const std::string backup = BackupFolder();
    if (Test([&] { return !Files().FolderExists(backup); })) Step([&] { Files().CreateFolder(backup); });
    Step([&] { Files().MoveFile(GameFolder() + "\\*.ini", backup + "\\"); });
    Step([&] { Files().MoveFile(GameFolder() + "\\*.int", backup + "\\"); });
    for (const char* name : VisibleFileList) {
        Step([&] { Files().MoveFile(backup + "\\" + name, GameFolder() + "\\"); });
    }
    RewriteGeneralSection(ModGeneralSection);
}

void LauncherForm::RestoreGameFiles() {
    const std::string backup = BackupFolder();
    Step([&] { Files().MoveFile(backup + "\\*.int", GameFolder() + "\\"); });
    Step([&] { Files().MoveFile(backup + "\\*.ini", GameFolder() + "\\"); });
    RewriteGeneralSection(GameGeneralSection);
    // A test that cannot be made keeps the folder: the backup is never lost.
    bool removable = false;
    Step([&] {
        removable = Files().FolderExists(backup) && !Files().FileExists(backup + "\\*.int") &&
                    !Files().FileExists(backup + "\\*.ini");
    });
    if (removable) Step([&] { Files().DeleteFolder(backup, false); });
}

// Only the [General] section is the launcher's business; whatever else the
// file holds is written back as it was. A file that cannot be read is not
// rewritten, so content we never saw is never replaced.
void LauncherForm::RewriteGeneralSection(const GeneralSection& lines) {
    const std::string path = GameFolder() + "\\UnrealTournament.int";
    GeneralSectionSplit split;
    std::unique_ptr<TextStream> stream;
    Step([&] {
        split = SplitAroundGeneralSection(Files().OpenTextFile(path, IOMode::ForReading, false, TextFormat::Ascii)->ReadAll());
        stream = Files().OpenTextFile(path, IOMode::ForWriting, false, TextFormat::Ascii);
    });
    // Once the open has failed, every write fails in turn, as the steps of a
    // stream that never came into being.
    auto out = [&]() -> TextStream& {
        if (!stream) throw RaisedError(errnum::kObjectRequired, "Brakkis Isle", "Object required");
        return *stream;
    };
    bool whole = true;
    if (!split.before.empty()) whole &= Step([&] { out().Write(split.before); });
    for (const char* line : lines) whole &= Step([&] { out().WriteLine(line); });
    if (!split.after.empty()) whole &= Step([&] { out().Write(split.after); });
    // A file with a line missing would lose its section header, and with it
    // the next rewrite's footing: such a stream is dropped, the old file kept.
    if (whole) Step([&] { out().Close(); });
}

void LauncherForm::CarryRenderDevice() {
    const std::string source = GameFolder() + "\\UnrealTournament.ini";
    const std::string target = GameFolder() + "\\Brakkis.ini";
    std::string newLine;
    {
        auto in = Files().OpenTextFile(source, IOMode::ForReading, false, TextFormat::Ascii);
        newLine = RenderDeviceLine(in->ReadAll());
        in->Close();
    }
    std::string text;
    std::string oldLine;
    {
        auto in = Files().OpenTextFile(target, IOMode::ForReading, false, TextFormat::Ascii);
        text = in->ReadAll();
        oldLine = RenderDeviceLine(text);
        in->Close();
    }
    auto out = Files().OpenTextFile(target, IOMode::ForWriting, false, TextFormat::Ascii);
    out->Write(ReplaceAllNoCase(text, oldLine, newLine));
    out->Close();
}

}  // namespace brakkis
