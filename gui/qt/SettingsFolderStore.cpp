#include "gui/qt/SettingsFolderStore.h"

#include <QSettings>

namespace corvalin
{

namespace
{

QString KeyOf(const char* name)
{
    return QStringLiteral("Folders/") + QString::fromLatin1(name);
}

QSettings UserSettings()
{
    return QSettings(QStringLiteral("Corvalin"), QStringLiteral("Corvalin"));
}

} // namespace

std::filesystem::path CSettingsFolderStore::LoadFolder(const char* name) const
{
    return std::filesystem::path(UserSettings().value(KeyOf(name)).toString().toStdU16String());
}

void CSettingsFolderStore::SaveFolder(const char* name, const std::filesystem::path& folder)
{
    UserSettings().setValue(KeyOf(name), QString::fromStdU16String(folder.u16string()));
}

} // namespace corvalin
