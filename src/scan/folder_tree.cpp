#include "scan/folder_tree.h"

#include <algorithm>

namespace orvanta {

FolderTree::Node &FolderTree::AddTopLevel(std::string text) {
  auto node = std::make_unique<Node>();
  node->Text = std::move(text);
  topLevel_.push_back(std::move(node));
  return *topLevel_.back();
}

FolderTree::Node &FolderTree::AddChild(Node &parent, std::string text) {
  auto node = std::make_unique<Node>();
  node->Text = std::move(text);
  node->Parent = &parent;
  parent.byText_.emplace(node->Text, node.get());
  parent.Children.push_back(std::move(node));
  return *parent.Children.back();
}

FolderTree::Node *FolderTree::Node::Child(std::string_view text) const {
  const auto it = byText_.find(std::string(text));
  return it == byText_.end() ? nullptr : it->second;
}

std::string FolderTree::SectionName(const Node &node) {
  std::string name;
  for (const Node *n = &node; n; n = n->Parent)
    name.insert(0, n->Text + "\\");
  return name;
}

void AddFolderToTree(FolderTree &tree, std::string_view path, std::string_view drivePath,
                     const std::function<bool(std::string_view)> &folderExists) {
  std::string running = std::string(drivePath) + "\\";
  const auto slash = path.find('\\');
  const std::string_view first = path.substr(0, slash);
  if (slash == std::string_view::npos)
    return;
  std::string_view rest = path.substr(slash + 1);
  if (rest.empty())
    return; // the root folder: nothing to add

  FolderTree::Node *node = nullptr;
  for (const auto &top : tree.TopLevel())
    if (top->Text == first) {
      node = top.get();
      break;
    }
  if (!node)
    node = &tree.AddTopLevel(std::string(first));

  while (!rest.empty()) {
    const auto end = rest.find('\\');
    const std::string_view name = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (name.empty())
      continue;
    running += std::string(name) + "\\";
    if (FolderTree::Node *child = node->Child(name)) {
      node = child;
      continue;
    }
    node = &tree.AddChild(*node, std::string(name));
    node->ImageIndex = node->SelectedIndex = folderExists(running) ? 0 : 1;
  }
}

} // namespace orvanta
