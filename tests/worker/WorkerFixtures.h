#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Fixtures made with the 7z CLI at test time.
namespace WorkerFixtures {

// Runs the 7z CLI in dir; fails the test (QVERIFY-style) through the returned flag.
bool Run7z(const QStringList& args, const QString& dir = QString());
// Files of pseudo-random content below dir: count files in a few nested folders, sizes up to
// maxSize, half of them compressible. Names carry prefix so trees do not collide.
void MakeTree(const QString& dir, const QString& prefix, int count, int maxSize, unsigned seed);
// archive of the contents of srcDir; type "7z" or "zip".
bool MakeArchive(const QString& archive, const QString& srcDir, const QString& type);
// What `7z x` makes of the archives, one after the other, in outDir.
bool ReferenceExtract(const QStringList& archives, const QString& outDir);
// Relative path -> SHA-1 of every file below dir.
QMap<QString, QByteArray> TreeDigest(const QString& dir);
// Files of the binding's temporary kind left below dir.
QStringList TempFiles(const QString& dir);
// Flips bytes of the start header so the archive no longer opens.
bool DamageHeader(const QString& archive);

}
