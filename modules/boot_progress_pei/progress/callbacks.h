// The module's entry point and the notification callbacks the PEI core runs.
#pragma once

#include "uefi/pi_pei.h"

extern "C" EFI_STATUS EFIAPI BootProgressPeiEntry(EFI_PEI_FILE_HANDLE fileHandle,
                                                  const EFI_PEI_SERVICES **peiServices);

#define BPP_NOTIFY_CALLBACK(name)                                                                  \
  EFI_STATUS EFIAPI name(const EFI_PEI_SERVICES **peiServices,                                     \
                         const EFI_PEI_NOTIFY_DESCRIPTOR *notifyDescriptor, VOID *ppi)

BPP_NOTIFY_CALLBACK(OnProgressStart);
BPP_NOTIFY_CALLBACK(ShowBootScreenA);
BPP_NOTIFY_CALLBACK(ShowBootScreenB);
BPP_NOTIFY_CALLBACK(OnProgress5);
BPP_NOTIFY_CALLBACK(OnProgress10);
BPP_NOTIFY_CALLBACK(OnProgress15);
BPP_NOTIFY_CALLBACK(OnProgress20);
BPP_NOTIFY_CALLBACK(OnProgress30);
BPP_NOTIFY_CALLBACK(OnIpmiTransportReady);
BPP_NOTIFY_CALLBACK(OnFooterTrigger);
