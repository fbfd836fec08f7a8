#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

QByteArray TestFiles::read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestFiles::write(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QVERIFY2(f.write(content) == content.size(), qPrintable(path));
}

ScopedCurrentDir::ScopedCurrentDir(const QString &dir)
    : m_previous(QDir::currentPath()), m_valid(!dir.isEmpty() && QDir::setCurrent(dir))
{
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    QDir::setCurrent(m_previous);
}
