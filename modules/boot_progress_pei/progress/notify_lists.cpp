#include "modules/boot_progress_pei/progress/notify_lists.h"

#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "uefi/ppi/ipmi_transport.h"

const EFI_PEI_NOTIFY_DESCRIPTOR StartNotifyList[1] = {
    {kNotifyLastEntry, &ProgressStartTriggerGuid, OnProgressStart},
};

const EFI_PEI_PPI_DESCRIPTOR ProgressReadyPpiList[1] = {
    {EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, &ProgressReadyPpiGuid,
     nullptr},
};

// The permanent-memory PPI names OnProgress30 here and OnProgress20 in ScreenNotifyList; once the
// screen is up both run, and the record keeps whichever the core ran last.
const EFI_PEI_NOTIFY_DESCRIPTOR MilestoneNotifyList[4] = {
    {kNotifyEntry, &ScreenTriggerAGuid, ShowBootScreenA},
    {kNotifyEntry, &ScreenTriggerBGuid, ShowBootScreenB},
    {kNotifyEntry, &gEfiPeiPermanentMemoryInstalledPpiGuid, OnProgress30},
    {kNotifyLastEntry, &FooterTriggerGuid, OnFooterTrigger},
};

const EFI_PEI_NOTIFY_DESCRIPTOR ScreenNotifyList[6] = {
    {kNotifyEntry, &Milestone5Guid, OnProgress5},
    {kNotifyEntry, &Milestone10Guid, OnProgress10},
    {kNotifyEntry, &Milestone15Guid, OnProgress15},
    {kNotifyEntry, &gEfiPeiPermanentMemoryInstalledPpiGuid, OnProgress20},
    {kNotifyEntry, &Milestone30Guid, OnProgress30},
    {kNotifyLastEntry, &gIpmiTransportPpiGuid, OnIpmiTransportReady},
};
