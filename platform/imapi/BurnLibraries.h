#pragma once
// The disc libraries behind the disc master, started once per process, and
// the list of drives a burn may use. Any thread.
#include <string>
#include <vector>

#include "platform/com/HResult.h"

namespace burn {
struct burn_drive;
struct burn_drive_info;
}

namespace imapi {

// Starts libburn and libisofs the first time (they stay up for the rest of
// the process: staged images may outlive every disc master). They install
// no signal handlers. False when either cannot start.
bool StartBurnLibraries();

struct RecorderSlot {
    std::string address; // "/dev/sr0" or "stdio:/abs/path.iso"
    LONG type;           // RECORDER_CDR or RECORDER_CDRW
};

// The image-file drives (added by AddPseudoDrive, then those named in
// VELMORA_BURN_DRIVES), then the CD writers the system has. libburn cannot
// look for drives while this process holds one: the list then has only the
// image files.
std::vector<RecorderSlot> FindRecorders();

// A drive held by this process.
struct GrabbedDrive {
    std::string address;
    burn::burn_drive_info* info = nullptr;
    burn::burn_drive* drive = nullptr;
    bool imageFile = false;
};
// Takes the drive at address for this process: IMAPI_E_DEVICE_NOTACCESSIBLE
// while it is held (here or by another program), IMAPI_E_DEVICE_NOTPRESENT
// when there is no such drive.
HRESULT GrabDrive(const std::string& address, GrabbedDrive* out);
// Lets go of it, ejecting the disc of a real drive when asked.
void ReleaseDrive(GrabbedDrive* grabbed, bool eject);

// The disc status once the drive has settled (a real drive can take a
// moment after loading).
int SettledDiscStatus(burn::burn_drive* drive);

} // namespace imapi
