#include "platform/imapi/BurnLibraries.h"

#include <cstdint>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "platform/imapi/DiscMaster.h"
#include "platform/imapi/Imapi.h"

namespace imapi {
namespace {

// libburn's drive scan and grab calls are not meant to run side by side.
std::mutex& DriveMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Addresses held by this process: libburn lets one process take an image
// file twice, and two writers on one image would corrupt it.
std::set<std::string>& Claimed()
{
    static std::set<std::string> claimed;
    return claimed;
}

std::mutex& PseudoMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string>& PseudoDrives()
{
    static std::vector<std::string> drives;
    return drives;
}

std::string ImageAddress(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return "stdio:" + (ec ? path : absolute.lexically_normal().string());
}

std::vector<RecorderSlot> ScanCdWriters()
{
    std::vector<RecorderSlot> found;
    burn::burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    int done = 0;
    while ((done = burn::burn_drive_scan(&infos, &count)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done < 0)
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        if (!infos[i].write_cdr && !infos[i].write_cdrw)
            continue;
        char address[BURN_DRIVE_ADR_LEN] = {};
        if (burn::burn_drive_d_get_adr(infos[i].drive, address) > 0)
            found.push_back({address, infos[i].write_cdrw ? RECORDER_CDRW : RECORDER_CDR});
    }
    // The scan holds every drive it found locked; let them go at once.
    burn::burn_drive_info_free(infos);
    return found;
}

} // namespace

bool StartBurnLibraries()
{
    static const bool started = [] {
        // bit 0: leave the process's locale alone; names are UTF-8 here.
        if (iso_init_with_flag(1) < 0)
            return false;
        iso_set_local_charset(const_cast<char*>("UTF-8"), 0);
        iso_set_msgs_severities(const_cast<char*>("NEVER"), const_cast<char*>("SORRY"),
            const_cast<char*>("libisofs: "));
        if (!burn::burn_initialize())
            return false;
        burn::burn_msgs_set_severities(const_cast<char*>("NEVER"), const_cast<char*>("SORRY"),
            const_cast<char*>("libburn: "));
        return true;
    }();
    return started;
}

std::vector<RecorderSlot> FindRecorders()
{
    std::vector<RecorderSlot> slots;
    {
        std::lock_guard lock(PseudoMutex());
        for (const std::string& path : PseudoDrives())
            slots.push_back({ImageAddress(path), RECORDER_CDRW});
    }
    if (const char* env = std::getenv("VELMORA_BURN_DRIVES")) {
        std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t end = std::min(list.find(':', start), list.size());
            if (end > start)
                slots.push_back({ImageAddress(list.substr(start, end - start)), RECORDER_CDRW});
            start = end + 1;
        }
    }
    std::lock_guard lock(DriveMutex());
    for (RecorderSlot& slot : ScanCdWriters())
        slots.push_back(std::move(slot));
    return slots;
}

HRESULT GrabDrive(const std::string& address, GrabbedDrive* out)
{
    std::lock_guard lock(DriveMutex());
    if (Claimed().count(address))
        return IMAPI_E_DEVICE_NOTACCESSIBLE;
    burn::burn_drive_info* info = nullptr;
    const int result = burn::burn_drive_scan_and_grab(&info, const_cast<char*>(address.c_str()), 1);
    if (result <= 0) {
        // 0: no drive at that address; otherwise it exists but is held or
        // cannot be opened.
        return result == 0 ? IMAPI_E_DEVICE_NOTPRESENT : IMAPI_E_DEVICE_NOTACCESSIBLE;
    }
    Claimed().insert(address);
    out->address = address;
    out->info = info;
    out->drive = info[0].drive;
    out->imageFile = burn::burn_drive_get_drive_role(out->drive) != 1;
    return S_OK;
}

void ReleaseDrive(GrabbedDrive* grabbed, bool eject)
{
    if (!grabbed->info)
        return;
    std::lock_guard lock(DriveMutex());
    burn::burn_drive_release(grabbed->drive, eject && !grabbed->imageFile ? 1 : 0);
    burn::burn_drive_info_free(grabbed->info);
    Claimed().erase(grabbed->address);
    *grabbed = GrabbedDrive{};
}

int SettledDiscStatus(burn::burn_drive* drive)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    burn::burn_disc_status status;
    while ((status = burn::burn_disc_get_status(drive)) == burn::BURN_DISC_UNREADY
        && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return status;
}

} // namespace imapi

void AddPseudoDrive(const std::string& imagePath)
{
    std::lock_guard lock(imapi::PseudoMutex());
    imapi::PseudoDrives().push_back(imagePath);
}

void RemovePseudoDrives()
{
    std::lock_guard lock(imapi::PseudoMutex());
    imapi::PseudoDrives().clear();
}
