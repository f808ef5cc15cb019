#include "launcher/TPayloadCache.h"

#include "launcher/TPayloadUnpacker.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {
bool IsHashName(const std::string& name)
{
    if (name.size() != 32)
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool Mine(const struct stat& st)
{
    return st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}
}

TPayloadCache::TPayloadCache(std::string root) : FRoot(std::move(root)) {}

std::string TPayloadCache::DefaultRoot()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/Setup";
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] == '/' ? home : "";
    if (h.empty()) {
        const passwd* pw = ::getpwuid(::geteuid());
        if (pw && pw->pw_dir && pw->pw_dir[0] == '/')
            h = pw->pw_dir;
    }
    return h.empty() ? std::string() : h + "/.cache/Setup";
}

bool TPayloadCache::Trusted(const std::string& path)
{
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real))
        return false;
    // The folder itself must be a folder, not a link that realpath followed.
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0 || !S_ISDIR(own.st_mode))
        return false;
    std::string p = real;
    for (;;) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        if (st.st_uid != ::geteuid() && st.st_uid != 0)
            return false;
        if ((st.st_mode & 022) != 0 && !(st.st_mode & S_ISVTX))
            return false;
        if (p == "/")
            return true;
        const size_t slash = p.find_last_of('/');
        p = slash == 0 ? "/" : p.substr(0, slash);
    }
}

bool TPayloadCache::RemoveTree(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = ::opendir(path.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..")
                    RemoveTree(path + "/" + name);
            }
            ::closedir(d);
        }
        return ::rmdir(path.c_str()) == 0;
    }
    return ::unlink(path.c_str()) == 0;
}

std::string TPayloadCache::Fail(const std::string& what)
{
    FError = what;
    return {};
}

bool TPayloadCache::Complete(const std::string& folder, const std::string& hash) const
{
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !Mine(st))
        return false;
    std::ifstream manifest(folder + "/" + ManifestName);
    std::string line;
    if (!std::getline(manifest, line) || line != hash)
        return false;
    size_t files = 0;
    while (std::getline(manifest, line)) {
        std::istringstream row(line);
        unsigned long long size = 0;
        std::string name;
        if (!(row >> size) || row.get() != ' ' || !std::getline(row, name) || !TPayloadUnpacker::SafeName(name))
            return false;
        struct stat f {};
        if (::lstat((folder + "/" + name).c_str(), &f) != 0 || !S_ISREG(f.st_mode) || !Mine(f) ||
            uint64_t(f.st_size) != size)
            return false;
        ++files;
    }
    return files > 0;
}

std::string TPayloadCache::UnpackFresh(const std::string& parent, const std::string& prefix, int selfFd,
                                       const TPayloadTrailer& trailer)
{
    std::string pattern = parent + "/" + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return Fail("cannot create a folder in " + parent + ": " + std::strerror(errno));
    const std::string folder = pattern;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    TPayloadUnpacker unpacker(selfFd, trailer);
    const bool ok = fd >= 0 && unpacker.Unpack(fd);
    if (fd >= 0)
        ::close(fd);
    if (!ok) {
        RemoveTree(folder);
        return Fail(unpacker.Error().empty() ? "cannot open " + folder : unpacker.Error());
    }
    std::ofstream manifest(folder + "/" + ManifestName);
    manifest << trailer.FolderName() << '\n';
    for (const auto& f : unpacker.Files())
        manifest << f.Size << ' ' << f.Name << '\n';
    manifest.close();
    if (!manifest) {
        RemoveTree(folder);
        return Fail("cannot write in " + folder);
    }
    return folder;
}

std::string TPayloadCache::Prepare(int selfFd, const TPayloadTrailer& trailer)
{
    if (FRoot.empty())
        return Fail("no cache folder (HOME is not set)");
    const std::string hash = trailer.FolderName();
    const std::string folder = FRoot + "/" + hash;
    if (Trusted(FRoot) && Complete(folder, hash)) {
        // Marks the folder as in use, for the clean-up of old ones.
        ::utimensat(AT_FDCWD, (folder + "/" + ManifestName).c_str(), nullptr, 0);
        return folder;
    }
    // Create the cache root privately; an existing one must already be trusted.
    const size_t slash = FRoot.find_last_of('/');
    const std::string above = FRoot.substr(0, slash);
    if (::mkdir(above.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail("cannot create " + above + ": " + std::strerror(errno));
    if (!Trusted(above))
        return Fail(above + " can be written by another user");
    if (::mkdir(FRoot.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail("cannot create " + FRoot + ": " + std::strerror(errno));
    if (!Trusted(FRoot))
        return Fail(FRoot + " can be written by another user");
    const std::string fresh = UnpackFresh(FRoot, "." + hash + ".", selfFd, trailer);
    if (fresh.empty())
        return {};
    // A damaged or foreign folder of that name is put aside first.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0 && !Complete(folder, hash)) {
        const std::string aside = folder + ".old" + std::to_string(::getpid());
        if (::rename(folder.c_str(), aside.c_str()) == 0)
            RemoveTree(aside);
    }
    if (::rename(fresh.c_str(), folder.c_str()) != 0) {
        RemoveTree(fresh);
        // Another start of the same file may have won the race; its folder is as good.
        if (!Complete(folder, hash))
            return Fail("cannot rename into " + folder + ": " + std::strerror(errno));
    }
    RemoveStale(hash);
    return folder;
}

void TPayloadCache::RemoveStale(const std::string& keep) const
{
    DIR* d = ::opendir(FRoot.c_str());
    if (!d)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == keep)
            continue;
        const std::string path = FRoot + "/" + name;
        struct stat st {};
        if (IsHashName(name)) {
            const std::string manifest = path + "/" + ManifestName;
            if (::lstat(manifest.c_str(), &st) != 0)
                ::lstat(path.c_str(), &st);
        } else if (name.size() > 33 && name[0] == '.' && IsHashName(name.substr(1, 32))) {
            ::lstat(path.c_str(), &st);  // an unpack that was cut short
            st.st_mtime -= StaleSeconds - 3600;
        } else {
            continue;
        }
        if (st.st_mtime != 0 && now - st.st_mtime > StaleSeconds)
            RemoveTree(path);
    }
    ::closedir(d);
}
