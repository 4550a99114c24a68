#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace dravik::test {

// A machine's tree in a temporary folder: device files, the kernel's tty and USB folders and
// a process table, written as the kernel shows them.
class FixtureTree {
public:
    FixtureTree()
        : Root(std::filesystem::temp_directory_path() /
               ("dravik-ports-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(Root);
    }
    ~FixtureTree() { std::filesystem::remove_all(Root); }
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;

    void File(const std::string& path, const std::string& text = "") {
        std::filesystem::create_directories((Root / path.substr(1)).parent_path());
        std::ofstream(Root / path.substr(1)) << text;
    }
    void Link(const std::string& path, const std::string& target) {
        std::filesystem::create_directories((Root / path.substr(1)).parent_path());
        std::filesystem::create_symlink(target, Root / path.substr(1));
    }
    // A USB adapter: its device file and the kernel's folders from the tty up to the USB device.
    void UsbTty(const std::string& name, const std::string& usbDevice,
                const std::map<std::string, std::string>& attributes) {
        File("/dev/" + name);
        const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice;
        File(usb + "/" + usbDevice + ":1.0/" + name + "/tty/" + name + "/dev", "188:0");
        for (const auto& [key, value] : attributes) {
            File(usb + "/" + key, value + "\n");
        }
        Link("/sys/class/tty/" + name + "/device",
             "../../../devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice + "/" + usbDevice +
                 ":1.0/" + name);
    }
    void Uart(const std::string& name, const std::string& type) {
        File("/dev/" + name);
        File("/sys/class/tty/" + name + "/type", type + "\n");
    }
    // A process with the devices open on descriptors 3, 4, ...
    void Process(int pid, const std::string& program, const std::vector<std::string>& devices) {
        const std::string folder = "/proc/" + std::to_string(pid);
        File(folder + "/comm", program + "\n");
        for (size_t i = 0; i < devices.size(); ++i) {
            Link(folder + "/fd/" + std::to_string(3 + i), devices[i]);
        }
    }

    std::string Path() const { return Root.string(); }
    // Where a path of the machine lies in the tree.
    std::string Under(const std::string& path) const { return (Root / path.substr(1)).string(); }

private:
    std::filesystem::path Root;
};

} // namespace dravik::test
