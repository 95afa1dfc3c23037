#include "app/SelectDlg.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "win/Text.h"

CSelectDlg::CSelectDlg(UINT templateId, UINT displayNameId, UINT lastSelectionId, SettingsStore& settings)
    : win::Dialog(templateId), settings(settings), displayName_(win::LoadText(displayNameId)),
      lastSelectionId_(lastSelectionId),
      wasLastSelection_(!displayName_.empty() && settings.ReadText(lastSelectionId) == displayName_) {}

void CSelectDlg::WriteLastSelection() {
    settings.WriteText(lastSelectionId_, displayName_);
}

CWhatSelectDlg::CWhatSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings)
    : CSelectDlg(templateId, displayNameId, IDS_LAST_WHAT_SELECTION, settings) {}

CHowSelectDlg::CHowSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings)
    : CSelectDlg(templateId, displayNameId, IDS_LAST_HOW_SELECTION, settings) {}

CToSelectDlg::CToSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings)
    : CSelectDlg(templateId, displayNameId, IDS_LAST_TO_SELECTION, settings) {}
