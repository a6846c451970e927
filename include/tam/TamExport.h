// TAM_API marks the classes and functions that the shared library exports. Everything else is
// built with hidden visibility, so a host sees only the public interface declared in tam/.
#ifndef TAM_TAMEXPORT_H
#define TAM_TAMEXPORT_H

#if defined(TAM_STATIC_BUILD)
#define TAM_API
#elif defined(TAM_BUILDING_LIBRARY)
#define TAM_API __attribute__((visibility("default")))
#else
#define TAM_API
#endif

#endif  // TAM_TAMEXPORT_H
