/*
 * zentrix.hpp - owning pointers over the C API of zentrix.h.
 *
 * Every handle type has a deleter, so no C++ caller releases a handle by
 * hand. Releasing a job or a merger closes it first (the engine joins its
 * own thread there): let such a handle go only when no other thread still
 * polls it.
 */
#ifndef ZENTRIX_HPP
#define ZENTRIX_HPP

#include "zentrix.h"

#include <memory>

namespace zxh {

struct SourceDeleter { void operator()(ZxSource *h) const { SourceRelease(h); } };
struct ParamsDeleter { void operator()(ZxParams *h) const { ParamsRelease(h); } };
struct JobDeleter { void operator()(ZxJob *h) const { JobRelease(h); } };
struct MergerDeleter { void operator()(ZxMerger *h) const { MergerRelease(h); } };
struct TrackDeleter { void operator()(ZxTrack *h) const { TrackRelease(h); } };
struct PacketDeleter { void operator()(ZxPacket *h) const { PacketRelease(h); } };
// Releasing a player closes it: its threads are joined and no callback runs after.
struct PlayerDeleter { void operator()(ZxPlayer *h) const { PlayerRelease(h); } };

using SourcePtr = std::unique_ptr<ZxSource, SourceDeleter>;
using ParamsPtr = std::unique_ptr<ZxParams, ParamsDeleter>;
using JobPtr = std::unique_ptr<ZxJob, JobDeleter>;
using MergerPtr = std::unique_ptr<ZxMerger, MergerDeleter>;
using TrackPtr = std::unique_ptr<ZxTrack, TrackDeleter>;
using PacketPtr = std::unique_ptr<ZxPacket, PacketDeleter>;
using PlayerPtr = std::unique_ptr<ZxPlayer, PlayerDeleter>;

} // namespace zxh

#endif /* ZENTRIX_HPP */
