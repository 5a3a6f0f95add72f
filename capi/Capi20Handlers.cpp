// TCapi20: what registration resets of the supplementary-service state.

#include "TFCapi20.h"

// At registration: what the controller offers is asked again.
void TCapi20::ClearSupplementaryServices()
{
    m_supplementary.SetSupportedServices(0);
}
