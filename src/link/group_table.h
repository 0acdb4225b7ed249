#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/link_frame.h"

namespace qv31 {

// What is refreshed after a read reply is stored.
enum ReplyShow : uint16_t {
  SHOW_NONE = 0,
  SHOW_4G = 1 << 0,
  SHOW_PORT1 = 1 << 1,
  SHOW_PORT2 = 1 << 2,
  SHOW_PORT3 = 1 << 3,
  SHOW_PORT4 = 1 << 4,
  SHOW_NETWORK = 1 << 5,
  SHOW_ACQ_BLOCK = 1 << 6,  // the table block the reply carries
  SHOW_VERSION = 1 << 7,
};

// The gateway's groups as the window's buttons reach them. "Params" is the whole-image read
// of "查询全部"; it has no button of its own.
enum class GroupId : uint8_t { Identity, Params, Port1, Port2, Port3, Port4, FourG, Network, Acq };

// Frames of one command, as headers; a write carries the image bytes of its window.
struct GroupFrames {
  std::array<FrameHeader, 4> headers{};
  uint8_t count = 0;
  std::span<const FrameHeader> Span() const { return {headers.data(), count}; }
};

// One group: its name on the command line, what a read reply of it refreshes, and the frames
// of its "查询" and "设置" in queue order. Groups that can be set appear in the order in which
// "设置全部" sets them.
struct GroupEntry {
  GroupId id;
  std::string_view name;
  uint16_t show;
  GroupFrames query;
  GroupFrames set;
};

// Identity text area: 18 bytes at address 0; the window shows at most 12 of them.
constexpr uint16_t IDENT_SIZE = 18;
constexpr uint16_t VERSION_TEXT_MAX = 12;
// Parameter image: device address 6 is its byte 0. Table image: address a is its byte a.
constexpr uint16_t PARAM_IMAGE_BASE = 6;
constexpr uint16_t TABLE_BLOCK_BYTES = 512;

std::span<const GroupEntry> Groups();
const GroupEntry& Group(GroupId id);
// The group of that command-line name, or nullptr.
const GroupEntry* FindGroup(std::string_view name);
// The group whose "设置" sends a write with this area and address, or nullptr.
const GroupEntry* GroupWriting(uint8_t area, uint16_t address);

}  // namespace qv31
