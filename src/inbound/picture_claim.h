// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The download's claim on the picture it is waiting for.
//
// While a download fetches picture i, DeviceState::pictureClaim holds that picture's
// number. Exactly one side turns the claim into a record for row i: the data thread when
// the picture arrives (the claim becomes kClaimTaken), or the download when its wait ends
// first (kClaimClosed, and it puts an empty record in the row). A picture that arrives
// after its wait ended, or a picture nobody asked for, finds no claim and is not added,
// so record i always stays row i. Outside a download the claim is kAnyPicture and every
// collected picture is added.

#include <atomic>
#include <cstdint>

#include "inbound/device_state.h"
#include "link/frame.h"

namespace dm {

// Data thread: may this picture go into the picture list?
inline bool ClaimPictureForList(DeviceState& state, uint32_t info) {
    uint32_t claim = state.pictureClaim.load(std::memory_order_acquire);
    if (claim == kAnyPicture) {
        return true;
    }
    if (claim != frame::PictureNumber(info)) {
        return false;
    }
    return state.pictureClaim.compare_exchange_strong(claim, kClaimTaken,
                                                      std::memory_order_acq_rel);
}

// Download: the wait for the picture has ended. True when the picture did not come and
// now never will be added; false when the data thread has taken the claim.
inline bool CloseUnansweredClaim(DeviceState& state, uint32_t pictureNumber) {
    uint32_t claim = pictureNumber;
    return state.pictureClaim.compare_exchange_strong(claim, kClaimClosed,
                                                      std::memory_order_acq_rel);
}

}  // namespace dm
