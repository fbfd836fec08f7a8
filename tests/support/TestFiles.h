#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Whole-file reads and writes for tests.
namespace TestFiles {
// The file's bytes, or empty when it cannot be read.
QByteArray read(const QString &path);
// Replaces the file's content; a failure fails the calling test.
void write(const QString &path, const QByteArray &content);
} // namespace TestFiles

// Makes dir the current directory for as long as it lives, and makes the
// one before current again when it goes.
class ScopedCurrentDir
{
public:
    explicit ScopedCurrentDir(const QString &dir);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir &) = delete;
    ScopedCurrentDir &operator=(const ScopedCurrentDir &) = delete;

    // Whether dir became the current directory.
    bool isValid() const { return m_valid; }

private:
    QString m_previous;
    bool m_valid = false;
};

// A fresh temporary directory that is the current directory for as long as
// it lives: where the console looks first for its vox.ini and writes its
// local files.
class TemporaryWorkDir
{
public:
    TemporaryWorkDir() : m_current(m_dir.path()) {}

    bool isValid() const { return m_dir.isValid() && m_current.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    ScopedCurrentDir m_current;
};
