/* Conversion between the Zamo-Box's raw 16-bit values and physical units.
 * C linkage: the editor binds these names at run time with dlsym. */
#ifndef MORVEX_ADAPT_H
#define MORVEX_ADAPT_H

#include <stdint.h>

#if defined(MORVEX_ADAPT_BUILD)
#define ADAPT_API __attribute__((visibility("default")))
#else
#define ADAPT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* physical -> raw: the low 16 bits of the truncated result */
typedef uint16_t (*AdaptToBoxFn)(double value);
/* raw -> physical: only the low 16 bits of the argument count, unsigned */
typedef double (*AdaptToPcFn)(uint32_t raw);

ADAPT_API uint16_t PC_TO_BOX_Drehzahl(double rpm);
ADAPT_API uint16_t PC_TO_BOX_Drosselklappe(double percent);
ADAPT_API uint16_t PC_TO_BOX_Motortemp(double celsius);
ADAPT_API uint16_t PC_TO_BOX_Lufttemp(double celsius);
ADAPT_API uint16_t PC_TO_BOX_Luftdruck(double pressure);
ADAPT_API uint16_t PC_TO_BOX_Einspritzzeit(double value);
ADAPT_API uint16_t PC_TO_BOX_CO(double value);
ADAPT_API uint16_t PC_TO_BOX_Lambda(double value);
ADAPT_API uint16_t PC_TO_BOX_Spannung(double volts);
ADAPT_API uint16_t PC_TO_BOX_Turbodruck(double pressure);

ADAPT_API double BOX_TO_PC_Drehzahl(uint32_t raw);
ADAPT_API double BOX_TO_PC_Drehzahl_25(uint32_t raw);
ADAPT_API double BOX_TO_PC_Drosselklappe(uint32_t raw);
ADAPT_API double BOX_TO_PC_Motortemp(uint32_t raw);
ADAPT_API double BOX_TO_PC_Lufttemp(uint32_t raw);
ADAPT_API double BOX_TO_PC_Luftdruck(uint32_t raw);
ADAPT_API double BOX_TO_PC_Einspritzzeit(uint32_t raw);
ADAPT_API double BOX_TO_PC_CO(uint32_t raw);
ADAPT_API double BOX_TO_PC_Lambda(uint32_t raw);
ADAPT_API double BOX_TO_PC_Spannung(uint32_t raw);
ADAPT_API double BOX_TO_PC_Turbodruck(uint32_t raw);

/* Parameters of the thermistor model and the throttle scale; the editor
 * overwrites them at start-up from CNF/InitValues.cfg. */
ADAPT_API extern int32_t maxADDK; /* raw throttle at 100 %; low 16 bits count */
ADAPT_API extern double T_Alpha;
ADAPT_API extern double T_Beta;
ADAPT_API extern double T_VoltRef;
ADAPT_API extern int32_t T_TempRef;
ADAPT_API extern int32_t T_OhmBeiTempRef;
ADAPT_API extern int32_t T_OhmR1;

#ifdef __cplusplus
}
#endif

#endif
