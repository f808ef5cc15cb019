#include "WorkerFixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <random>

namespace WorkerFixtures {

bool Run7z(const QStringList& args, const QString& dir)
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(QStringLiteral("7z"), args);
    if (!p.waitForFinished(120000))
        return false;
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    qWarning("7z %s: %s %s", qPrintable(args.join(QLatin1Char(' '))), p.readAllStandardOutput().constData(),
             p.readAllStandardError().constData());
    return false;
}

void MakeTree(const QString& dir, const QString& prefix, int count, int maxSize, unsigned seed)
{
    std::mt19937 rng(seed);
    const QStringList folders = {QString(), QStringLiteral("gui/"), QStringLiteral("gui/maps/icons/"),
                                 QStringLiteral("scripts/client/")};
    for (int i = 0; i < count; ++i) {
        const QString rel = folders[i % folders.size()] + QStringLiteral("%1_%2.bin").arg(prefix).arg(i);
        const QString path = dir + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(path).path());
        const int size = static_cast<int>(rng() % static_cast<unsigned>(maxSize + 1));
        QByteArray data(size, '\0');
        const bool compressible = (i % 2) == 0;
        for (int k = 0; k < size; ++k)
            data[k] = compressible ? static_cast<char>("modtext "[(k / 7 + i) % 8]) : static_cast<char>(rng());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(data);
    }
}

bool MakeArchive(const QString& archive, const QString& srcDir, const QString& type)
{
    QDir().mkpath(QFileInfo(archive).path());
    return Run7z({QStringLiteral("a"), QStringLiteral("-t") + type, QStringLiteral("-mx1"),
                  QStringLiteral("-bd"), archive, QStringLiteral(".")},
                 srcDir);
}

bool ReferenceExtract(const QStringList& archives, const QString& outDir)
{
    for (const QString& a : archives)
        if (!Run7z({QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-bd"),
                    QStringLiteral("-o") + outDir, a}))
            return false;
    return true;
}

QMap<QString, QByteArray> TreeDigest(const QString& dir)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        out.insert(base.relativeFilePath(path),
                   QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return out;
}

QStringList TempFiles(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, {QStringLiteral(".setup-*")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

bool DamageHeader(const QString& archive)
{
    QFile f(archive);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray head = f.read(32);
    for (int i = 8; i < 32 && i < head.size(); ++i)
        head[i] = static_cast<char>(head[i] ^ 0x5A);
    f.seek(0);
    return f.write(head) == head.size();
}

}
