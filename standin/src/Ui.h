// The windows the stand-in shows for the demo: an explorer window per
// displayed explorer (its folder's item subjects) and a small window per
// displayed item. Without a display (headless Wine) they are simply not
// created; the object model behaves the same.
#pragma once

#include "Model.h"

#include <memory>

namespace standin::ui {

// Opens (or shows again) the explorer's window and fills it.
void ShowExplorer(ExplorerData& explorer);
// Refills the list after the folder or its items changed.
void FillExplorer(const ExplorerData& explorer);
void Activate(HWND window);
// A top-level window captioned with the item's subject, listing its fields.
void ShowItem(ItemData& item);
void Destroy(HWND& window);
std::wstring ExplorerCaption(const ExplorerData& explorer);

}  // namespace standin::ui
