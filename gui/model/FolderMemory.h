#pragma once
// The folder each file dialog opens in: where the user last found a file of its kind.
// The folders outlive the window through a store of the view's own (Qt settings, the
// Windows registry); without one they last as long as the window.

#include "gui/model/MainDialogView.h"

#include <filesystem>
#include <map>

namespace corvalin
{

// Where remembered folders are kept between runs, one per name.
class IFolderStore
{
  public:
    virtual ~IFolderStore() = default;
    // The folder kept under `name`; empty when none is.
    virtual std::filesystem::path LoadFolder(const char* name) const = 0;
    virtual void SaveFolder(const char* name, const std::filesystem::path& folder) = 0;
};

// The name a kind's folder is kept under: "BundleFolder", "CcfFolder"...
const char* FolderName(EFileKind kind);

class CFolderMemory
{
  public:
    // `store` may be null; it must outlive the memory otherwise.
    explicit CFolderMemory(IFolderStore* store = nullptr) : m_pStore(store) {}

    // Where a dialog for `kind` opens; empty leaves it to the toolkit. An image is
    // stored, at first, beside the file it came from.
    std::filesystem::path FolderFor(EFileKind kind) const;
    // Notes the folder of `file`, chosen in a dialog for `kind`.
    void Remember(EFileKind kind, const std::filesystem::path& file);

  private:
    std::filesystem::path Recalled(EFileKind kind) const;

    IFolderStore* m_pStore;
    std::map<EFileKind, std::filesystem::path> m_folders;
};

} // namespace corvalin
