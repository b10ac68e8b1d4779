// GNOME Evolution as the program knows it: a client of the Linux home only.
#pragma once

#include "core/client_descriptor.h"

namespace quillbank {

[[nodiscard]] const ClientDescriptor& EvolutionClient();

namespace evolution {

// The program a user starts, and the desktop entry every package installs
// (the Flatpak's in its exports folder).
inline constexpr const char* kProgram = "evolution";
inline constexpr const char* kDesktopEntry = "org.gnome.Evolution.desktop";

}  // namespace evolution
}  // namespace quillbank
