// The folder a run of the harness writes: the files of the last run that ended well, the state folder where the
// machine and the program keep what outlives a run, and "unfinished/", where a run writes its files until it ends
// well. Only then are they moved in place, so an interrupted or failed run leaves the previous run's files as
// they were and no half-written file among them. One run at a time: a run holds a lock on the state folder for its
// life, which the system lets go however the run ends.
#pragma once

#include <filesystem>
#include <string>

namespace tdl::session {

class RunFolder {
public:
    explicit RunFolder(std::filesystem::path folder);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes the folder and its state folder, takes the lock, and makes the unfinished folder afresh (one that a
    // killed run left behind goes first). False, with `error` saying why, when it cannot: "another run is using
    // the state folder <path>" while a run holds the lock.
    bool Claim(std::string& error);

    std::filesystem::path Final(const std::string& name) const { return m_folder / name; }
    // Where this run writes the file `name` until it is published.
    std::filesystem::path Unfinished(const std::string& name) const { return m_folder / kUnfinished / name; }
    std::filesystem::path State() const { return m_folder / "state"; }
    // Whether the folder holds files of an earlier run that ended well.
    bool HoldsEarlierFiles() const;

    // Moves every file of the unfinished folder in place, over the earlier run's, and removes the folder.
    bool Publish(std::string& error);
    // Removes the unfinished folder with what it holds.
    void Discard();

private:
    static constexpr const char* kUnfinished = "unfinished";

    std::filesystem::path m_folder;
    int m_lock = -1;
};

} // namespace tdl::session
