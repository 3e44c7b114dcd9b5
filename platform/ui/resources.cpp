// The resource registry: dialog templates, menus, strings and icons by id. Entries are
// replaced in place when registered again, so pointers handed out stay valid.
#include <map>

#include "platform/ui/resources.h"

namespace {

template <typename T>
std::map<int, T>& Table()
{
    static std::map<int, T> table;
    return table;
}

template <typename T>
const T* Find(int id)
{
    const auto& table = Table<T>();
    auto found = table.find(id);
    return found == table.end() ? nullptr : &found->second;
}

}  // namespace

void RegisterDialogResource(DialogTemplate dialog)
{
    const int id = dialog.id;
    Table<DialogTemplate>()[id] = std::move(dialog);
}

void RegisterMenuResource(MenuTemplate menu)
{
    const int id = menu.id;
    Table<MenuTemplate>()[id] = std::move(menu);
}

void RegisterStringResource(UINT id, std::string text)
{
    Table<std::string>()[static_cast<int>(id)] = std::move(text);
}

void RegisterIconResource(IconTemplate icon)
{
    const int id = icon.id;
    Table<IconTemplate>()[id] = std::move(icon);
}

const DialogTemplate* FindDialogResource(int id) { return Find<DialogTemplate>(id); }
const MenuTemplate* FindMenuResource(int id) { return Find<MenuTemplate>(id); }
const std::string* FindStringResource(UINT id) { return Find<std::string>(static_cast<int>(id)); }
const IconTemplate* FindIconResource(int id) { return Find<IconTemplate>(id); }
