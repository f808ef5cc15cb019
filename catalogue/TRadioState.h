#pragma once

#include <cstdint>
#include <vector>

// A node's check state, the value its state index takes. Catalogue lines may also carry
// 4..9, and a node that never got a state has -1; both are stored in the node's int index.
using TCheckState = std::uint8_t;
constexpr TCheckState csHidden = 0;
constexpr TCheckState csUnchecked = 1;
constexpr TCheckState csChecked = 2;
constexpr TCheckState csGrayed = 3;
// The state index of a node that has no state image assigned yet (not a TCheckState).
constexpr int csUnassigned = -1;

// Radio record of one node.
struct TRadioState {
    bool Radio = false;
    std::uint16_t Group = 0;
};

// One record per node, indexed by the node's absolute index.
using TRadioStates = std::vector<TRadioState>;

// Indices are 16-bit throughout the radio logic, so this is the most a tree may hold.
constexpr int MaxTreeNodes = 65535;
