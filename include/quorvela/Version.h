#pragma once
// Version symbols exported by the library, readable without a facade.
#include "quorvela/Export.h"

extern "C" {
/// The library's project version number (1.0).
QUORVELA_EXPORT extern const double QuorvelaSDKVersionNumber;
/// "@(#)PROGRAM:QuorvelaSDK  PROJECT:QuorvelaSDK-1" and a line feed, zero-terminated.
QUORVELA_EXPORT extern const unsigned char QuorvelaSDKVersionString[];
}
