// Guarded removals of the `.update` tree: they delete only what lies strictly inside it and
// stop before deleting anything when a link is found in the tree.
#pragma once

#include <string>

namespace zyr::update {

// Removes `target`, a directory strictly inside the installation's `.update`, with all its
// content. A target outside `.update` or equal to it is refused (Text::UnsafePath); a
// missing target is fine.
void remove_update_subtree(const std::wstring& installation, const std::wstring& target);

// Removes a tree of empty directories standing where a file is to be placed. A file anywhere
// in it stops the removal (Text::FileOperationFailed); directories removed before it are
// gone. Nothing happens when the path is missing or a regular file.
void remove_empty_directory_tree(const std::wstring& path);

// Removes the `.update` folder that a launcher started outside any installation made next to
// its executable `installer`.
void remove_installer_update_dir(const std::wstring& installer);

}  // namespace zyr::update
