#pragma once

#include "ui/CommandContext.h"

#include <QString>

// What the terminal shows and says: the boot picture (SetKorvaneLogo, Clear_Logo), a picture file
// (DOWNLOG), the short-message panel (cmdSendMsg, Command26, Command27) and voice prompts
// (cmdGetSounds).
class DisplayCommands {
public:
    explicit DisplayCommands(const CommandContext &context) : ctx_(context) {}

    void setKorvaneLogo();
    void clearLogo();
    void downlog();
    void cmdSendMsg();
    void command26();
    void command27();
    void cmdGetSounds();

    // The file last chosen for DOWNLOG; kept for the life of the window.
    const QString &pictureFile() const { return pictureFile_; }

private:
    void setLogoMode(bool restore);

    CommandContext ctx_;
    QString pictureFile_;
};
