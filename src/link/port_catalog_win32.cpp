#include "link/port_catalog_win32.h"

namespace zave {

namespace {

class RegistryPortCatalog final : public PortCatalog {
public:
    RegistryPortCatalog(HKEY root, std::string subKey) : root_(root), subKey_(std::move(subKey)) {}

    std::optional<std::vector<CatalogEntry>> listPorts() override {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;

        std::vector<CatalogEntry> ports;
        for (DWORD index = 0;; ++index) {
            char name[255];
            DWORD nameLength = sizeof name;
            if (::RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS ||
                nameLength == 0)
                break;

            BYTE data[255];
            DWORD dataLength = sizeof data;
            DWORD type = 0;
            if (::RegQueryValueExA(key, name, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) continue;

            // The data is a string; it need not end in a zero within the buffer.
            std::string port(reinterpret_cast<const char*>(data), dataLength);
            const size_t end = port.find('\0');
            if (end != std::string::npos) port.resize(end);
            ports.push_back({std::string(name, nameLength), std::move(port)});
        }
        ::RegCloseKey(key);
        return ports;
    }

private:
    HKEY root_;
    std::string subKey_;
};

}  // namespace

std::unique_ptr<PortCatalog> makeRegistryPortCatalog(HKEY root, std::string subKey) {
    return std::make_unique<RegistryPortCatalog>(root, std::move(subKey));
}

std::unique_ptr<PortCatalog> makeSystemPortCatalog() {
    return makeRegistryPortCatalog(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

}  // namespace zave
