#include "evdevdevices.h"

#include <libevdev/libevdev.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

namespace platform::wayland {
namespace {

const char kInputDir[] = "/dev/input";

std::int64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool isEventNode(const char *name) {
    return std::strncmp(name, "event", 5) == 0;
}

class LibevdevSource final : public DeviceSource {
public:
    LibevdevSource() = default;
    ~LibevdevSource() override {
        for (Device &d : devices_)
            close(d);
        if (inotify_ >= 0)
            ::close(inotify_);
        if (wake_ >= 0)
            ::close(wake_);
    }
    LibevdevSource(const LibevdevSource &) = delete;
    LibevdevSource &operator=(const LibevdevSource &) = delete;

    // Opens what can be opened now; counts what was found for `why`.
    bool start(std::string &why) {
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        // Without it, devices plugged in later are not heard; the others are.
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ >= 0 &&
            inotify_add_watch(inotify_, kInputDir, IN_CREATE | IN_ATTRIB | IN_DELETE) < 0) {
            ::close(inotify_);
            inotify_ = -1;
        }
        DIR *dir = opendir(kInputDir);
        if (!dir) {
            why = "there is no /dev/input";
            return false;
        }
        std::vector<std::string> names;
        while (const dirent *entry = readdir(dir))
            if (isEventNode(entry->d_name))
                names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        int refused = 0;
        for (const std::string &name : names)
            if (!open(name, pending_) && (errno == EACCES || errno == EPERM))
                ++refused;
        const bool keyboard = std::any_of(devices_.begin(), devices_.end(),
                                          [](const Device &d) { return d.kinds.keyboard; });
        if (keyboard)
            return true;
        if (names.empty())
            why = "/dev/input has no event devices";
        else if (refused > 0)
            why = std::to_string(refused) + " of " + std::to_string(names.size()) +
                  " input event devices may not be read (they belong to group input)";
        else
            why = "no keyboard among the readable input event devices";
        return false;
    }

    bool read(std::vector<DeviceEvent> &out, int timeoutMs) override {
        if (!pending_.empty()) {
            out.insert(out.end(), pending_.begin(), pending_.end());
            pending_.clear();
            timeoutMs = 0;
        }
        std::vector<pollfd> fds;
        fds.push_back({wake_, POLLIN, 0});
        fds.push_back({inotify_, POLLIN, 0});
        for (const Device &d : devices_)
            fds.push_back({d.fd, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0)
            return errno == EINTR;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            const ssize_t n = ::read(wake_, &count, sizeof count);
            (void)n;
        }
        // Devices first: their events happened before a removal noticed now.
        std::vector<int> gone;
        for (std::size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents)
                if (!drain(devices_[i - 2], out))
                    gone.push_back(devices_[i - 2].id);
        for (int id : gone)
            remove(id, out);
        if (fds[1].revents & POLLIN)
            hotplug(out);
        return true;
    }

    void interrupt() override {
        const std::uint64_t one = 1;
        const ssize_t n = ::write(wake_, &one, sizeof one);
        (void)n;
    }

    std::int64_t nowMs() const override { return monotonicMs(); }

private:
    struct Device {
        int id = 0;
        std::string name; // "event3"
        int fd = -1;
        libevdev *dev = nullptr;
        DeviceKinds kinds;
    };

    static void close(Device &d) {
        libevdev_free(d.dev);
        ::close(d.fd);
    }

    // False (errno set) when the node cannot be read or is neither a
    // keyboard nor a mouse.
    bool open(const std::string &name, std::vector<DeviceEvent> &out) {
        const std::string path = std::string(kInputDir) + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        libevdev *dev = nullptr;
        if (const int rc = libevdev_new_from_fd(fd, &dev); rc < 0) {
            ::close(fd);
            errno = -rc;
            return false;
        }
        const DeviceKinds kinds = classifyDevice([dev](unsigned type, unsigned code) {
            return libevdev_has_event_code(dev, type, code) == 1;
        });
        if (!kinds.keyboard && !kinds.mouse) {
            libevdev_free(dev);
            ::close(fd);
            errno = 0;
            return false;
        }
        // The kernel stamps events with the wall clock unless told; ours
        // must not jump when the clock is set.
        libevdev_set_clock_id(dev, CLOCK_MONOTONIC);
        DeviceEvent added;
        added.kind = DeviceEvent::Kind::Added;
        added.device = nextId_++;
        added.kinds = kinds;
        added.timeMs = monotonicMs();
        for (unsigned code = 0; code <= KEY_MAX; ++code)
            if (libevdev_has_event_code(dev, EV_KEY, code) &&
                libevdev_get_event_value(dev, EV_KEY, code) != 0)
                added.held.push_back(code);
        devices_.push_back(Device{added.device, name, fd, dev, kinds});
        out.push_back(std::move(added));
        return true;
    }

    // Everything the device has to say now; false when it is gone.
    static bool drain(Device &d, std::vector<DeviceEvent> &out) {
        unsigned flag = LIBEVDEV_READ_FLAG_NORMAL;
        for (;;) {
            input_event ev{};
            const int rc = libevdev_next_event(d.dev, flag, &ev);
            if (rc == LIBEVDEV_READ_STATUS_SYNC) {
                // Events were dropped: libevdev hands over the changes that
                // bring the state up to date, then normal reading goes on.
                flag = LIBEVDEV_READ_FLAG_SYNC;
                continue;
            }
            if (rc == -EAGAIN) {
                if (flag == LIBEVDEV_READ_FLAG_SYNC) {
                    flag = LIBEVDEV_READ_FLAG_NORMAL;
                    continue;
                }
                return true;
            }
            if (rc != LIBEVDEV_READ_STATUS_SUCCESS)
                return false;
            if (ev.type != EV_KEY)
                continue;
            DeviceEvent e;
            e.device = d.id;
            e.type = ev.type;
            e.code = ev.code;
            e.value = ev.value;
            e.timeMs = static_cast<std::int64_t>(ev.input_event_sec) * 1000 +
                       static_cast<std::int64_t>(ev.input_event_usec) / 1000;
            out.push_back(e);
        }
    }

    void remove(int id, std::vector<DeviceEvent> &out) {
        auto it = std::find_if(devices_.begin(), devices_.end(),
                               [id](const Device &d) { return d.id == id; });
        if (it == devices_.end())
            return;
        close(*it);
        devices_.erase(it);
        DeviceEvent removed;
        removed.kind = DeviceEvent::Kind::Removed;
        removed.device = id;
        removed.timeMs = monotonicMs();
        out.push_back(removed);
    }

    void hotplug(std::vector<DeviceEvent> &out) {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto *ev = reinterpret_cast<const inotify_event *>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                if (ev->len == 0 || !isEventNode(ev->name))
                    continue;
                const std::string name = ev->name;
                auto it = std::find_if(devices_.begin(), devices_.end(),
                                       [&name](const Device &d) { return d.name == name; });
                if (ev->mask & IN_DELETE) {
                    if (it != devices_.end())
                        remove(it->id, out);
                } else if (it == devices_.end()) {
                    // A new node is often readable only once udev has set its
                    // group (IN_ATTRIB), so both are tried.
                    open(name, out);
                }
            }
        }
    }

    std::vector<Device> devices_;
    std::vector<DeviceEvent> pending_;
    int inotify_ = -1;
    int wake_ = -1;
    int nextId_ = 1;
};

} // namespace

DeviceKinds classifyDevice(const HasEventCode &has) {
    DeviceKinds kinds;
    kinds.keyboard = has(EV_KEY, KEY_A) && has(EV_KEY, KEY_Z) && has(EV_KEY, KEY_SPACE);
    kinds.mouse = has(EV_KEY, BTN_LEFT) && (has(EV_REL, REL_X) || has(EV_ABS, ABS_X));
    return kinds;
}

std::unique_ptr<DeviceSource> openInputDevices(std::string &why) {
    auto source = std::make_unique<LibevdevSource>();
    if (!source->start(why))
        return nullptr;
    return source;
}

} // namespace platform::wayland
