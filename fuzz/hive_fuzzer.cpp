// Registry hives in Wine's format, as Wine or another tool may leave them. A
// hive that loads is written back byte for byte when nothing changed; after a
// new key is added, every line of the old text is still there in its order,
// and the new text loads again. No input may crash the reader.
#include "env/platform/machine/registry_hive.h"
#include "fuzz/fuzz_support.h"

namespace quillbank::fuzz {
namespace {

void Run(FuzzedDataProvider& input) {
  const std::string text = input.ConsumeRemainingBytesAsString();
  RegistryHive hive;
  RegistryNode root;
  std::string error;
  if (!hive.Load(text, root, error)) return;
  if (hive.Render(root, 1700000000) != text) Fail("an unchanged hive was not written back as read");

  // A key the file already has may have its key line rewritten; a new one
  // only adds lines.
  const RegistryNode* software = root.FindSubkey(u"Software");
  const bool is_new = !software || !software->FindSubkey(u"Quillbank \u0416");
  RegValue value;
  value.type = reg_type::kSz;
  value.data = {'x', 0, 0, 0};  // UTF-16, as the tree keeps text
  root.AddSubkey(u"Software").AddSubkey(u"Quillbank \u0416").SetValue(u"v", value);
  const std::string changed = hive.Render(root, 1700000001);
  if (is_new) ExpectKept(text, changed, [](std::string_view) { return true; });
  RegistryHive again;
  RegistryNode reread;
  if (!again.Load(changed, reread, error)) Fail("a written hive does not load again");
}

}  // namespace
}  // namespace quillbank::fuzz

QUILLBANK_FUZZ_TARGET(quillbank::fuzz::Run)
