#include "commands/message_numbers.h"

#include <array>

namespace dm::message {

namespace {
constexpr std::array<const char*, kLastAdded - kFirstAdded + 1> kEnglish{
    "This picture was not received from the microscope.",
    "The picture could not be read from %1",
    "The picture could not be saved to %1",
    "The snapshot picture was not received from the microscope.",
    "The snapshot picture could not be decoded.",
    "These pictures could not be prepared for viewing: %1",
    "%1 of %2 pictures were received. The others are marked \"not received\"; "
    "download again to fetch them.",
    "%1 pictures saved, %2 skipped (not received), %3 could not be saved.",
    "The request could not be sent to the microscope. Nothing was changed.",
    "The picture could not be sent to the microscope.",
    "%1 of %2 pictures listed",
    "not received",
    "The snapshot could not be taken. The camera is switched on again.",
    "The list of pictures arrived incomplete from the microscope. Please try again.",
    "The microscope was disconnected. The pictures in the list are kept. When the microscope "
    "is plugged in again, the program connects to it by itself.",
    "%1: permission denied.",
    "%1: in use by another program.",
    "%1: opened, but no microscope answered.",
    "To use serial ports, add your user to the dialout group (sudo usermod -aG dialout "
    "$USER), then log out and log in again.",
    "... and %1 more ports.",
    "Up (%1)",
    "Left (%1)",
    "Centre (%1, or Space on the picture)",
    "Right (%1)",
    "Down (%1)",
    "Zoom out (%1)",
    "Lock (%1)",
    "Zoom in (%1)",
    "Snapshot (%1)",
    "Press Connect to begin",
    "Saved %1",
    "%1 pictures saved in %2",
    "Save snapshots without asking...",
    "Choose the folder for snapshots saved without asking",
    "&Measure...",
    "Measure",
};
}  // namespace

const char* BuiltInEnglishText(int number) {
    if (number < kFirstAdded || number > kLastAdded) {
        return nullptr;
    }
    return kEnglish[static_cast<std::size_t>(number - kFirstAdded)];
}

}  // namespace dm::message
