#pragma once
// The user's home folder, for the XDG defaults.
#include <string>

namespace tandrel::platform {

// $HOME when set and absolute, else the password database's entry; "/" when
// neither is known. Never ends in "/" except for "/" itself.
std::string UserHomeFolder();

}  // namespace tandrel::platform
