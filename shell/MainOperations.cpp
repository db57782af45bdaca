// The bodies of these handlers arrive with the configuration and live-value work.
#include "Main.h"

void TMainF::CCmPoStartu() {}
bool TMainF::connectTransmitter() { return false; }
void TMainF::Timer1Timer() {}
void TMainF::checkActualValueClick() {}
bool TMainF::decideOutputState(float, float, float, int) { return false; }
void TMainF::CmVycist() {}
void TMainF::CmKonfigurace() {}
void TMainF::CmKorekce() {}
void TMainF::CmDeviceInfo() {}
void TMainF::CmFilter11() {}
void TMainF::CmFilter12() {}
void TMainF::CmFilter21() {}
void TMainF::CmFilter22() {}
void TMainF::CmFilter31() {}
void TMainF::CmFilter32() {}
void TMainF::CmFilterR() {}
void TMainF::CmKeyPress(int) {}
void TMainF::CmSave() {}
void TMainF::CmLoad() {}
void TMainF::checkPressureClick() {}
void TMainF::checkHeightLiquidColumnClick() {}
void TMainF::CmPa() {}
void TMainF::CmkPa() {}
void TMainF::CmMPa() {}
void TMainF::Cmmbar() {}
void TMainF::Cmbar() {}
void TMainF::Cmpsi() {}
void TMainF::Cmmm() {}
void TMainF::Cmm() {}
void TMainF::CmInch() {}
