#pragma once

#include <QByteArray>
#include <QString>

// A file replaced whole or not at all. The content goes to a temporary file beside the target; every
// write is checked, the data is flushed and synced to the disk, the temporary file is renamed over the
// target and the folder is synced so that the rename itself survives a power cut. Until commit()
// succeeds the earlier file stays as it was; on any failure the temporary file is removed and
// errorString() gives the system's reason ("No space left on device", "Permission denied").
//
//   DurableFile f(path);
//   if (!f.open() || !f.write(a) || !f.write(b) || !f.commit()) report(f.errorString());
//
// A destroyed file that was not committed is cancelled. A process killed at any moment leaves either
// the old or the new content under the target's name (and possibly a stray temporary file beside it,
// never a torn target).
class DurableFile {
public:
    explicit DurableFile(const QString &path);
    ~DurableFile();
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;

    bool open();
    bool write(const QByteArray &bytes);
    bool commit();
    void cancel();

    QString path() const { return path_; }
    // The system's reason for the first failure, empty while all is well.
    QString errorString() const { return error_; }
    int errorNumber() const { return errno_; }

    // The reason for a failure in the console's language: the common ones said plainly (the disk is
    // full, the folder cannot be written), any other as the system gives it.
    static QString reasonText(int errorNumber);

    // Replaces `path` by `content` in one step; false with the system's reason in `error`.
    static bool replace(const QString &path, const QByteArray &content, QString *error = nullptr,
                        int *errorNumber = nullptr);

private:
    bool fail(int number);

    QString path_;
    QByteArray tempName_;
    int fd_ = -1;
    int errno_ = 0;
    QString error_;
};
