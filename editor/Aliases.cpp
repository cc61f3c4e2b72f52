// Utils page of TMain: the database alias registry ("Base Name", "Register List", "Registry",
// "Unregistry", "Go to path").
#include "DDFUnit.h"

void TMain::LoadAliases() {}
void TMain::RegistryBaseClick() {}
void TMain::UnregistryBaseClick() {}
void TMain::UseRegistryPathClick() {}
void TMain::BaseListKeyUp(int) {}
void TMain::BaseListMouseUp() {}
void TMain::UpdateAliasButtons() {}
