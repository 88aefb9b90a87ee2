// What the user may read and write: folders that cannot be read or entered, and whose
// files may be replaced by whom. Run as root, the tests act as the user nobody as well.

#include "support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

using namespace support;
namespace fs = std::filesystem;

// Folders that the user cannot read or enter are named with the reason and counted as
// failed; the rest of the tree is converted.
TEST(Batch, UnreadableFolders)
{
    Bench b;
    b.putPlayers();
    b.put("m/a.mpt", module(0x2000, 300));
    b.put("m/noread/b.mpt", module(0x2000, 300));
    b.put("m/noenter/c.mpt", module(0x2000, 300));
    b.put("m/noread/d.md1", module(0x2000, 300));
    for (const auto& entry : fs::recursive_directory_iterator(b.dir.path()))
        fs::permissions(entry.path(), fs::perms::all);
    fs::permissions(b.dir.path(), fs::perms::all);
    fs::permissions(b.dir / "m/noread", fs::perms(0333));
    fs::permissions(b.dir / "m/noenter", fs::perms(0666));
    const auto as = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = {ORVEX_CONVERT, "-p", b.players};
        if (::geteuid() == 0)
            argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
        argv.insert(argv.end(), args.begin(), args.end());
        return run(argv);
    };
    const Outcome tree = as({"-j", "1", "-r", b.dir / "m"});
    EXPECT_EQ(tree.status, 1);
    EXPECT_EQ(tree.err, "orvex-convert: Cannot enter the folder \"" + (b.dir / "m/noenter") + "\": Permission denied.\n"
                            "orvex-convert: Cannot read the folder \"" + (b.dir / "m/noread")
                            + "\": Permission denied.\norvex-convert: 1 converted, 2 failed.\n");
    EXPECT_TRUE(fs::exists(b.dir / "m/a.SAP"));
    const Outcome list = as({b.dir / "m/noread/d.md1", b.dir / "m/a.mpt"});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("d.md1\" has no .D15 file to be found: Cannot read the folder \"" + (b.dir / "m/noread")
                            + "\": Permission denied."),
              std::string::npos)
        << list.err;
    fs::permissions(b.dir / "m/noread", fs::perms::all);
    fs::permissions(b.dir / "m/noenter", fs::perms::all);
    EXPECT_FALSE(fs::exists(b.dir / "m/noread/b.SAP"));
    EXPECT_FALSE(fs::exists(b.dir / "m/noenter/c.SAP"));
}

// Who may write what, as cp decides; a replaced file keeps its owner, group and mode. In
// a sticky folder, another user's file open to all may be written but not replaced, so
// the save is refused there.
struct Access {
    const char* name;
    unsigned folderMode;  // of the folder that holds the target
    unsigned fileMode;    // of the target, an older file
    bool othersFile;      // the target belongs to another user (only root can make one)
    const char* refusal;  // why an ordinary user's save is refused ("": the file is replaced)
};

const Access kAccess[] = {
    {"read_only_file", 0755, 0444, false, "Permission denied."},
    {"read_only_folder", 0555, 0644, false, "Permission denied."},
    {"others_private_file", 0777, 0600, true, "Permission denied."},
    {"others_file_in_sticky_folder", 01777, 0666, true, "Operation not permitted."},
};

TEST(Cli, Permissions)
{
    // Who runs the converter: root or an ordinary user, by the command that runs it as them
    struct Actor { bool root; std::vector<std::string> prefix; uid_t uid; gid_t gid; };
    const bool root = ::geteuid() == 0;
    std::vector<Actor> actors = {{root, {}, ::geteuid(), ::getegid()}};
    if (root)
        actors.push_back({false, {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"}, 65534, 65534});
    for (const Actor& actor : actors) {
        for (const Access& row : kAccess) {
            if (row.othersFile && !root)
                continue;  // an ordinary user cannot give a file away
            SCOPED_TRACE(std::string(row.name) + (actor.root ? " as root" : " as an ordinary user"));
            Bench b;
            fs::permissions(b.dir.path(), fs::perms::all);
            const std::string song = b.put("song.com", module(0x8000, 300));
            const std::string target = b.put("f/old.sap", bytesOf("older"));
            // The folder and the file belong to the actor, or both to another user
            const uid_t owner = !row.othersFile ? actor.uid : actor.uid == 0 ? 65534 : 0;
            const gid_t group = !row.othersFile ? actor.gid : actor.gid == 0 ? 65534 : 0;
            for (const std::string& path : {target, b.dir / "f"})
                ASSERT_EQ(::chown(path.c_str(), owner, group), 0) << path;
            ::chmod(target.c_str(), row.fileMode);
            ::chmod((b.dir / "f").c_str(), row.folderMode);

            std::vector<std::string> command = actor.prefix;
            command.insert(command.end(), {ORVEX_CONVERT, "-o", target, song});
            const Outcome outcome = run(command);
            const std::string reason = actor.root ? "" : row.refusal;  // root may write them all
            EXPECT_EQ(outcome.status, reason.empty() ? 0 : 1) << outcome.err;
            EXPECT_EQ(textOf(readFile(target)).substr(0, 5), reason.empty() ? "SAP\r\n" : "older");
            EXPECT_NE(outcome.err.find(reason.empty() ? "" : target + "\": " + reason), std::string::npos) << outcome.err;
            struct stat info {};
            ::stat(target.c_str(), &info);
            EXPECT_EQ(info.st_uid, owner);
            EXPECT_EQ(info.st_gid, group);
            EXPECT_EQ(info.st_mode & 07777, row.fileMode);
            ::chmod((b.dir / "f").c_str(), 0755);
            EXPECT_EQ(support::listing(b.dir / "f").size(), 1u) << "a temporary file was left";
        }
    }
}

} // namespace
