// A simulated optical drive: serves one disc image read-only through FUSE, with
// the costs a DVD drive has. There is one head, so requests are served one at a
// time. A read that does not follow on from the last one seeks, and the seek
// takes longer the further the head moves (a read inside the drive's buffer
// costs nothing). Data moves at the drive's transfer rate. After an idle spell
// the disc spins up again first. A scratch fails with EIO after the drive's
// retries, and a smudge reads, but slowly.
//
//   simdrive IMAGE MOUNTPOINT [--profile fast|slow] [options]
//     --seek-min MS --seek-max MS   a short hop and a full stroke
//     --rate KB/S                   the transfer rate
//     --buffer KB                   what the drive holds of its last reads
//     --spin-up MS --idle MS        spin-up time, after this long without a read
//     --scratch FIRST-LAST:MS       sectors that fail, after MS of retries (repeatable)
//     --smudge FIRST-LAST:MS        sectors that read, MS late per request (repeatable)
//     --log FILE                    one line a request: offset, size, cost
//
// The image appears as MOUNTPOINT/<its file name>; `losetup -r` over that file
// gives a block device, as a drive is. The profiles' numbers are in profile().
//
// Threads: FUSE's single-threaded loop serves every request in turn.

#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long long kSector = 2048;

struct Range {
    long long first = 0, last = 0; // sectors, inclusive
    int ms = 0;
};

struct Profile {
    int seekMinMs = 0, seekMaxMs = 0;
    long long rateKBps = 0;
    long long bufferKB = 0;
    int spinUpMs = 0, idleMs = 0;
};

// Seek and access times: the DVD FAQ (J. Taylor, section 4.2) gives 85-200 ms
// seek and 90-250 ms access for most drives, and seeks as short as 45 ms on
// newer ones. A DVD's 1x is 11.08 Mbit/s (1385 KB/s). Drives read video at 2x to
// 8x, slowing down for it on purpose, and take 1 to 3 s to spin up again. Both
// profiles keep a 2 MB buffer, the common size in drives' data sheets.
bool profile(const std::string &name, Profile *p)
{
    if (name == "fast") // a current desktop drive reading video at 8x
        *p = Profile{45, 110, 8 * 1385, 2048, 1000, 30000};
    else if (name == "slow") // an older slim drive held at 2x, quick to spin down
        *p = Profile{85, 200, 2 * 1385, 2048, 3000, 10000};
    else
        return false;
    return true;
}

struct Drive {
    std::string imagePath, name;
    int fd = -1;
    long long size = 0;
    Profile profile;
    std::vector<Range> scratches, smudges;
    FILE *log = nullptr;
    // The head's state: where the last read ended, what the buffer holds, and
    // when the drive last read.
    long long lastEnd = -1, bufferStart = 0;
    std::chrono::steady_clock::time_point lastRead{};
};

Drive drive;

bool overlaps(const Range &r, long long offset, long long size)
{
    return offset <= (r.last + 1) * kSector - 1 && offset + size - 1 >= r.first * kSector;
}

// The time a read of size bytes at offset costs, before it is served.
double costMs(long long offset, long long size, bool *fails)
{
    const auto now = std::chrono::steady_clock::now();
    double ms = 0;
    if (now - drive.lastRead > std::chrono::milliseconds(drive.profile.idleMs)) // a new disc spins up too
        ms += drive.profile.spinUpMs;
    const bool buffered = offset >= drive.bufferStart && offset + size <= drive.lastEnd;
    if (!buffered && offset != drive.lastEnd) {
        const double distance = double(std::llabs(offset - std::max(0LL, drive.lastEnd)));
        ms += drive.profile.seekMinMs
              + (drive.profile.seekMaxMs - drive.profile.seekMinMs) * std::sqrt(distance / double(drive.size));
    }
    if (!buffered)
        ms += double(size) / double(drive.profile.rateKBps);
    for (const Range &r : drive.smudges)
        if (overlaps(r, offset, size))
            ms += r.ms;
    *fails = false;
    for (const Range &r : drive.scratches)
        if (overlaps(r, offset, size)) {
            ms += r.ms;
            *fails = true;
        }
    return ms;
}

int getattr(const char *path, struct stat *st, fuse_file_info *)
{
    std::memset(st, 0, sizeof *st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
        return 0;
    }
    if (path[0] == '/' && drive.name == path + 1) {
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = drive.size;
        return 0;
    }
    return -ENOENT;
}

int readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags)
{
    if (std::strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, drive.name.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

int open(const char *path, fuse_file_info *fi)
{
    if (path[0] != '/' || drive.name != path + 1)
        return -ENOENT;
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    return 0;
}

int read(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *)
{
    if (offset >= drive.size)
        return 0;
    const long long length = std::min<long long>(size, drive.size - offset);
    bool fails = false;
    const double ms = costMs(offset, length, &fails);
    std::this_thread::sleep_for(std::chrono::microseconds(std::llround(ms * 1000)));
    if (drive.log)
        std::fprintf(drive.log, "%lld %lld %.1f%s\n", (long long)offset, length, ms, fails ? " EIO" : "");
    drive.lastRead = std::chrono::steady_clock::now();
    if (fails) {
        drive.lastEnd = -1; // the head is lost after the retries
        return -EIO;
    }
    if (offset != drive.lastEnd)
        drive.bufferStart = offset;
    drive.lastEnd = offset + length;
    drive.bufferStart = std::max(drive.bufferStart, drive.lastEnd - drive.profile.bufferKB * 1024);
    const ssize_t got = pread(drive.fd, buffer, size_t(length), offset);
    return got < 0 ? -errno : int(got);
}

bool parseRange(const char *text, Range *r)
{
    return std::sscanf(text, "%lld-%lld:%d", &r->first, &r->last, &r->ms) == 3 && r->first <= r->last && r->ms >= 0;
}

int usage()
{
    std::fprintf(stderr, "usage: simdrive IMAGE MOUNTPOINT [--profile fast|slow] [--seek-min MS] [--seek-max MS]\n"
                         "       [--rate KB/S] [--buffer KB] [--spin-up MS] [--idle MS]\n"
                         "       [--scratch FIRST-LAST:MS]... [--smudge FIRST-LAST:MS]... [--log FILE] [--foreground]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    drive.imagePath = argv[1];
    const std::string mountPoint = argv[2];
    profile("fast", &drive.profile);
    bool foreground = false;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--foreground") {
            foreground = true;
            continue;
        }
        if (!value)
            return usage();
        ++i;
        Range range;
        if (option == "--profile" && profile(value, &drive.profile))
            continue;
        if (option == "--seek-min")
            drive.profile.seekMinMs = std::atoi(value);
        else if (option == "--seek-max")
            drive.profile.seekMaxMs = std::atoi(value);
        else if (option == "--rate" && std::atoll(value) > 0)
            drive.profile.rateKBps = std::atoll(value);
        else if (option == "--buffer")
            drive.profile.bufferKB = std::atoll(value);
        else if (option == "--spin-up")
            drive.profile.spinUpMs = std::atoi(value);
        else if (option == "--idle")
            drive.profile.idleMs = std::atoi(value);
        else if (option == "--scratch" && parseRange(value, &range))
            drive.scratches.push_back(range);
        else if (option == "--smudge" && parseRange(value, &range))
            drive.smudges.push_back(range);
        else if (option == "--log" && (drive.log = std::fopen(value, "w")))
            std::setvbuf(drive.log, nullptr, _IOLBF, 0);
        else
            return usage();
    }
    drive.fd = ::open(drive.imagePath.c_str(), O_RDONLY);
    struct stat st {};
    if (drive.fd < 0 || fstat(drive.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "simdrive: cannot read the image %s\n", drive.imagePath.c_str());
        return 1;
    }
    drive.size = st.st_size;
    const std::size_t slash = drive.imagePath.find_last_of('/');
    drive.name = slash == std::string::npos ? drive.imagePath : drive.imagePath.substr(slash + 1);

    fuse_operations operations{};
    operations.getattr = getattr;
    operations.readdir = readdir;
    operations.open = open;
    operations.read = read;
    // One request at a time (one head); other users (root's losetup) may read it.
    std::vector<std::string> args{"simdrive", mountPoint, "-s", "-o", "ro,allow_other,fsname=simdrive"};
    if (foreground)
        args.push_back("-f");
    std::vector<char *> fuseArgv;
    for (std::string &a : args)
        fuseArgv.push_back(a.data());
    return fuse_main(int(fuseArgv.size()), fuseArgv.data(), &operations, nullptr);
}
