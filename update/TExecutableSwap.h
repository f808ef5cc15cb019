#pragma once

#include <functional>
#include <string>

class TStartPipe;

// Puts a new build N.newupdate in the place of the executable N, keeping the old one as
// N.oldupdate, so that a startable N exists at every instant: a hard link first gives the
// old build its second name, then one rename puts the new build over N. A swap cut short
// between the two steps shows as N.oldupdate being the very file N is, and is finished
// from there. All names are bare and resolve against the current folder.
class TExecutableSwap {
public:
    enum class TResult {
        Started,     // the new build runs as N
        NotSwapped,  // nothing changed: N is the old build
        RolledBack,  // the new build did not start; the old one is N again
    };

    explicit TExecutableSwap(const std::string& exeFileName);

    static bool IsUpdateName(const std::string& fileName);
    // The executable's own name for a build that runs under an update name
    // (Setup.oldupdate -> Setup); other names are returned as they are.
    static std::string ProgramName(const std::string& fileName);

    const std::string& ExeName() const { return FExe; }
    const std::string& NewName() const { return FNew; }
    const std::string& OldName() const { return FOld; }
    // Where a new build that did not start is kept, never to be started again.
    const std::string& FailedName() const { return FFailed; }

    bool Pending() const;
    // N.oldupdate is a second name of N itself, left by a swap cut short.
    bool OldIsLink() const;
    // False when the swap cannot be made (an earlier N.oldupdate is still there, a file is
    // missing, the folder refuses); N is then left as it was.
    bool Apply();
    // Puts the old build back as N; what N was is kept as N.newupdate.failed. False when
    // there is no old build.
    bool Rollback();
    // Apply, then start N; when it does not start, the old build is put back. With
    // startedWell, N is started with a start pipe, and the old build is put back as well
    // when startedWell says the new one ended before it confirmed.
    TResult ApplyAndStart(const std::function<bool(TStartPipe&)>& startedWell = {});

    // For a build started under one of the update names (a player recovering by hand):
    // makes sure N exists again, from the running file when N is missing, and for an old
    // build also when N is another file (it replaces a new build that did not work). The
    // running file is never deleted. False when N could not be put back.
    static bool Recover(const std::string& runningName);

private:
    std::string FExe;
    std::string FNew;
    std::string FOld;
    std::string FFailed;
};
