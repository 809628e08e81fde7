#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvanta {

// The folder tree of the results: the drive text as the first top-level
// node, one node per folder name below it. Image index 0 marks a folder that
// still exists on the volume, 1 one that does not. The results window shows
// this model; the scans add to it.
class FolderTree {
public:
  struct Node {
    std::string Text;
    int ImageIndex = 0;
    int SelectedIndex = 0;
    Node *Parent = nullptr;
    std::vector<std::unique_ptr<Node>> Children;

    // The child with exactly this text, if any.
    Node *Child(std::string_view text) const;

  private:
    friend class FolderTree;
    std::unordered_map<std::string, Node *> byText_; // first child of each text
  };

  void Clear() { topLevel_.clear(); }
  bool Empty() const { return topLevel_.empty(); }
  Node &AddTopLevel(std::string text);
  Node &AddChild(Node &parent, std::string text);
  const std::vector<std::unique_ptr<Node>> &TopLevel() const { return topLevel_; }

  // The catalogue section of a node: each text from the root down, each
  // followed by a backslash ("E:\DCIM\100MEDIA\").
  static std::string SectionName(const Node &node);

private:
  std::vector<std::unique_ptr<Node>> topLevel_;
};

// Makes sure the folder `path` (of the form X:\a\b\) and its ancestors have
// nodes; a new folder node gets image 0 when `folderExists` says the folder
// is on the live volume, else 1. Names are matched exactly, letter case
// counting; nodes that exist keep their images.
void AddFolderToTree(FolderTree &tree, std::string_view path, std::string_view drivePath,
                     const std::function<bool(std::string_view)> &folderExists);

} // namespace orvanta
