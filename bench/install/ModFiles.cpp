#include "ModFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>

void WriteModFiles(const std::string& dir, int files, int64_t totalBytes, std::mt19937_64& rng,
                   const std::vector<std::string>& folders, const std::string& prefix)
{
    const int64_t mean = totalBytes / files;
    static const char* words[] = {"<item>", "</item>", "<name>", "tank  ", "gun   ", "0.125 ",
                                  "true  ", "shadow", "\n     ", "textur", "</name"};
    for (int i = 0; i < files; ++i) {
        const bool text = i % 3 != 0;
        const std::string rel = folders[i % folders.size()] + prefix + std::to_string(i) + (text ? ".xml" : ".dds");
        const int64_t size = std::uniform_int_distribution<int64_t>(16, 2 * mean - 16)(rng);
        std::string data(static_cast<size_t>(size), '\0');
        if (text) {
            for (int64_t k = 0; k < size; ++k)
                data[k] = words[(k / 6 + i + (rng() % 4 == 0)) % 11][k % 6];
        } else {
            for (int64_t k = 0; k + 8 <= size; k += 8) {
                const uint64_t v = rng();
                std::memcpy(&data[k], &v, 8);
            }
        }
        QDir().mkpath(QFileInfo(QString::fromStdString(dir + "/" + rel)).path());
        QFile f(QString::fromStdString(dir + "/" + rel));
        if (!f.open(QIODevice::WriteOnly) || f.write(data.data(), size) != size)
            std::exit(1);
    }
}
