#include "keys/KeyNameTable.h"

#include <algorithm>

namespace kwo::keys {

const std::array<KeyName, kKeyNameCount> kKeyNameTable = {{
    {u"ADD", 107, 0},       {u"ALT", 18, 0},       {u"APPS", 93, 0},      {u"BACKSPACE", 8, 0},
    {u"BKSP", 8, 0},        {u"BREAK", 3, 0},      {u"BS", 8, 0},         {u"CAPSLOCK", 20, 0},
    {u"CLEAR", 12, 0},      {u"CTRL", 17, 0},      {u"DECIMAL", 110, 0},  {u"DEL", 46, 1},
    {u"DELETE", 46, 1},     {u"DIVIDE", 111, 0},   {u"DOWN", 40, 1},      {u"END", 35, 1},
    {u"ENTER", 13, 0},      {u"ESC", 27, 0},       {u"ESCAPE", 27, 0},    {u"F1", 112, 0},
    {u"F10", 121, 0},       {u"F11", 122, 0},      {u"F12", 123, 0},      {u"F13", 124, 0},
    {u"F14", 125, 0},       {u"F15", 126, 0},      {u"F16", 127, 0},      {u"F2", 113, 0},
    {u"F3", 114, 0},        {u"F4", 115, 0},       {u"F5", 116, 0},       {u"F6", 117, 0},
    {u"F7", 118, 0},        {u"F8", 119, 0},       {u"F9", 120, 0},       {u"HELP", 47, 0},
    {u"HOME", 36, 1},       {u"INS", 45, 1},       {u"LALT", 164, 0},     {u"LCTRL", 162, 0},
    {u"LEFT", 37, 1},       {u"LSHIFT", 160, 0},   {u"LWIN", 91, 0},      {u"MULTIPLY", 106, 0},
    {u"NUMLOCK", 144, 0},   {u"NUMPAD0", 96, 0},   {u"NUMPAD1", 97, 0},   {u"NUMPAD2", 98, 0},
    {u"NUMPAD3", 99, 0},    {u"NUMPAD4", 100, 0},  {u"NUMPAD5", 101, 0},  {u"NUMPAD6", 102, 0},
    {u"NUMPAD7", 103, 0},   {u"NUMPAD8", 104, 0},  {u"NUMPAD9", 105, 0},  {u"PGDN", 34, 1},
    {u"PGUP", 33, 1},       {u"PRTSC", 42, 0},     {u"RALT", 165, 0},     {u"RCTRL", 163, 0},
    {u"RETURN", 13, 0},     {u"RIGHT", 39, 1},     {u"RSHIFT", 161, 0},   {u"RWIN", 92, 0},
    {u"SCROLL", 145, 0},    {u"SEPARATOR", 108, 0}, {u"SHIFT", 16, 0},    {u"SNAPSHOT", 44, 0},
    {u"SPACE", 32, 0},      {u"SUBTRACT", 109, 0}, {u"TAB", 9, 0},        {u"UP", 38, 1},
    {u"WIN", 91, 0},
}};

const KeyName* FindLongestKeyName(std::u16string_view text) {
  // Try the prefixes of the text from the longest down; each is an exact
  // bisection search in the sorted table.
  const auto less = [](const KeyName& row, std::u16string_view name) { return row.name < name; };
  for (size_t length = std::min(text.size(), kLongestKeyName); length > 0; --length) {
    const std::u16string_view prefix = text.substr(0, length);
    const auto it = std::lower_bound(kKeyNameTable.begin(), kKeyNameTable.end(), prefix, less);
    if (it != kKeyNameTable.end() && it->name == prefix) return &*it;
  }
  return nullptr;
}

}  // namespace kwo::keys
