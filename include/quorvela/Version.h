#pragma once
// Version symbols exported by the library, readable without a facade.

extern "C" {
/// The library's project version number (1.0).
extern const double QuorvelaSDKVersionNumber;
/// "@(#)PROGRAM:QuorvelaSDK  PROJECT:QuorvelaSDK-1" and a line feed, zero-terminated.
extern const unsigned char QuorvelaSDKVersionString[];
}
