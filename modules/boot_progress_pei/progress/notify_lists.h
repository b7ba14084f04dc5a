// The module's constant descriptor lists, in the published PPI and notify descriptor layouts.
#pragma once

#include "uefi/pi_pei.h"

// Every notify entry is a callback notification; the last entry of a list also ends it.
constexpr UINTN kNotifyEntry = EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK;
constexpr UINTN kNotifyLastEntry =
    EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;

extern const EFI_PEI_NOTIFY_DESCRIPTOR StartNotifyList[1];     // registered at entry
extern const EFI_PEI_NOTIFY_DESCRIPTOR MilestoneNotifyList[4]; // registered when armed
extern const EFI_PEI_NOTIFY_DESCRIPTOR ScreenNotifyList[6];    // registered once the screen is up
extern const EFI_PEI_PPI_DESCRIPTOR ProgressReadyPpiList[1];   // the "armed" signal
