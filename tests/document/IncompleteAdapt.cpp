// Exports the first names of the conversion library and then stops, as a
// damaged or outdated copy would.
#include <cstdint>

extern "C" {
__attribute__((visibility("default"))) uint16_t PC_TO_BOX_Drehzahl(double rpm)
{
    return rpm == 0.0 ? 0 : static_cast<uint16_t>(13824000.0 / rpm);
}
__attribute__((visibility("default"))) uint16_t PC_TO_BOX_Drosselklappe(double percent)
{
    return static_cast<uint16_t>(percent * 25.5);
}
}
