#pragma once

#include "serial/port_enumerator.h"
#include "serial/port_list_entry.h"

#include <vector>

class QComboBox;

// The shared port-list loader of both serial pages. Fills port A's hidden
// list `cbb_COM` and port B's list `cbb2_COM` at once: entry 0 "刷新", then
// one entry per port, the device path followed by "()". Selects entry 0 in
// both. Either box may be null (a page built alone). Change signals of the
// boxes are blocked while they are refilled, so a change handler that reloads
// on "刷新" cannot recurse.
void LoadPortLists(QComboBox* cbb_COM, QComboBox* cbb2_COM, const std::vector<SerialPortInfo>& ports);

// The same with the ports of this machine.
void LoadPortLists(QComboBox* cbb_COM, QComboBox* cbb2_COM);
