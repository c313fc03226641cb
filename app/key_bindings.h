#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace sweepview {

// A bound action: no arguments, no result.
using KeyAction = void (*)();

// Actions in binding order; both key maps index this table.
extern std::vector<KeyAction> keyActions;
// The index the next successful binding receives; always keyActions.size().
extern std::int32_t actionCount;
// Character key code (0 to 255) to action index.
extern std::map<std::uint32_t, std::int32_t> keyBindings;
// Window-system special key code (arrow keys and the like) to action index.
extern std::map<std::uint32_t, std::int32_t> specialKeyBindings;

inline constexpr float cameraMoveStep = 5.0f;  // camera translation per key press
inline constexpr float cameraTurnStep = 2.0f;  // camera angle per key press, degrees

// 1 when key was bound to action (with the index actionCount, then counted);
// 0 when key was already bound, leaving the maps and the table unchanged.
std::int32_t bindKey(unsigned char key, KeyAction action);
std::int32_t bindSpecialKey(std::int32_t key, KeyAction action);

// Points key at action, replacing what it was bound to (a mode that needs
// the key for something else); binds it when unbound.
void rebindKey(unsigned char key, KeyAction action);
void rebindSpecialKey(std::int32_t key, KeyAction action);

// Makes the viewer's 13 bindings, indexes 0 to 12: x X y Y z Z move the camera,
// space starts or pauses, b cycles the box draw mode, s takes one step, and the
// arrow keys turn the camera.
void registerKeyBindings();

// Esc (27) ends the process with status 1; any other bound key runs its action;
// an unbound key does nothing. The mouse position is not used.
void keyboardCallback(unsigned char key, int x, int y);

// Runs the action bound to a special key; an unbound key does nothing.
void specialKeyCallback(int key, int x, int y);

}  // namespace sweepview
