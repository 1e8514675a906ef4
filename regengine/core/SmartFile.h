#pragma once

#include <QString>

namespace engine {

// The file class the prefs files share: a path, whether it was opened, and whether it may be
// written.
class SmartFile {
public:
    SmartFile() = default;
    SmartFile(const SmartFile&) = delete;
    SmartFile& operator=(const SmartFile&) = delete;
    virtual ~SmartFile();

    // Stores the path as the file's name; false for a null path.
    virtual bool SetFilePath(const QString& path);
    const QString& GetFilePath() const { return path_; }

    // The file is there. Sets the writable flag from its mode: a file without any write
    // permission bit is read-only, whoever asks (the superuser could write it anyway).
    bool Exists();
    bool IsWritable() const { return writable_; }
    bool IsOpened() const { return opened_; }

protected:
    QString path_;
    bool opened_ = false;
    bool writable_ = true;
};

// The engine's own folder: the user's application-data folder ($XDG_DATA_HOME) followed by
// "Quenmark/Veldora", made when missing. Empty when it cannot be found or made.
QString EngineFolder();

// The shared data folder of the engine, followed by `subPath` when one is given (backslashes
// or slashes). Empty when the folder cannot be found.
QString GetDataFolderPath(const QString& subPath = {});

}  // namespace engine
