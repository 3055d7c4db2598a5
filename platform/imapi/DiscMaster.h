#pragma once
// The disc master component built into the program: Joliet data discs
// written with libburn from an image that libisofs streams out of the staged
// folders, so nothing is copied aside first.
//
// Drives: the CD writers of the system, and image files standing in for a
// blank CD ("stdio:" drives), so a burn can be tried and tested without a
// burner. Image-file drives come first in the recorder list.
#include <string>

#include "platform/com/HResult.h"

// Puts the component into this process's class table, once; later calls do
// nothing. Creating CLSID_MSDiscMasterObj then needs nothing installed.
HRESULT RegisterDiscMasterClass();

// Adds an image file as a recorder holding a blank CD. The environment
// variable VELMORA_BURN_DRIVES adds more: image paths separated by ':'.
void AddPseudoDrive(const std::string& imagePath);
// Forgets the image files added by AddPseudoDrive.
void RemovePseudoDrives();
