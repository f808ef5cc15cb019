#include "platform/SystemInfo.h"

#include <QDir>
#include <QUuid>

#include <cstdlib>
#include <langinfo.h>
#include <cstring>
#include <map>
#include <sched.h>
#include <thread>

std::string GetTempDir()
{
    const QString tmp = QDir::tempPath();
    if (tmp.isEmpty())
        return {};
    std::string s = QDir::toNativeSeparators(tmp).toStdString();
    if (s.size() > 1023)
        return {};
    if (s.back() != '/')
        s += '/';
    return s;
}

std::string NewGuidString()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
}

uint16_t LangIdForLocaleName(const std::string& locale)
{
    static const std::map<std::string, uint16_t> ids = {
        {"ru_RU", 0x0419}, {"ru_MD", 0x0819},
        {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009},
        {"de_DE", 0x0407}, {"fr_FR", 0x040C}, {"uk_UA", 0x0422}, {"be_BY", 0x0423},
        {"pl_PL", 0x0415}, {"cs_CZ", 0x0405}, {"es_ES", 0x0C0A}, {"it_IT", 0x0410},
        {"kk_KZ", 0x043F}, {"zh_CN", 0x0804}, {"ja_JP", 0x0411}};
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    auto it = ids.find(name);
    if (it != ids.end())
        return it->second;
    return 0x0409;
}

uint16_t GetSystemDefaultLangID()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return LangIdForLocaleName(v);
    }
    return 0x0409;
}

int ProcessorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0)
            return n;
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw > 0 ? static_cast<int>(hw) : 1;
}

bool LocaleCodesetIsUtf8()
{
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}
