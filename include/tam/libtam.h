// The whole public interface of libtam. A host writes #include <tam/libtam.h>.
#ifndef TAM_LIBTAM_H
#define TAM_LIBTAM_H

#include "tam/Tam.h"
#include "tam/TamConditionExp.h"
#include "tam/TamDeclarationOutline.h"
#include "tam/TamException.h"
#include "tam/TamExpRoot.h"
#include "tam/TamLineIndex.h"
#include "tam/TamModule.h"
#include "tam/TamNode.h"
#include "tam/TamObserver.h"
#include "tam/TamOption.h"
#include "tam/TamOptionValue.h"
#include "tam/TamParseFailure.h"
#include "tam/TamPath.h"
#include "tam/TamRixExp.h"
#include "tam/TamRixOutline.h"
#include "tam/TamSelOptionSet.h"
#include "tam/TamSourcePos.h"
#include "tam/TamTranslater.h"
#include "tam/TamValidator.h"
#include "tam/TamValue.h"
#include "tam/TamWindow.h"
#include "tam/ValidationError.h"
#include "tam/ref_count.h"

#define TAM_VERSION_STRING "0.1.0"

#endif  // TAM_LIBTAM_H
