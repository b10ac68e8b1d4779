// MAPI profile administration, as Outlook 2000 in Corporate/Workgroup mode
// needs it to add an Internet mail service to the default profile. On Windows
// the backend loads MAPI32 at the moment it is needed; the machine folder has
// a stand-in that writes the profile section the service would create.
#pragma once

namespace quillbank {

class MapiAdmin {
 public:
  virtual ~MapiAdmin() = default;
};

}  // namespace quillbank
