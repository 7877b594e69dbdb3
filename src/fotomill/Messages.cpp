#include "fotomill/Messages.h"

#include <QString>

#include "base/AppUtil.h"
#include "base/MarkedFolder.h"
#include "fotomill/Texts.h"

namespace kalvane::fotomill {

namespace {

QString T(const char* text) {
  return QString::fromUtf8(text);
}

QString Name(const std::string& path) {
  return QString::fromStdString(ExtractName(path));
}

QString List(const std::vector<std::string>& names) {
  QString text;
  for (std::size_t i = 0; i < names.size() && i < 5; ++i)
    text += (i ? "、" : "") + QString::fromStdString(names[i]);
  return names.size() > 5 ? text + " ..." : text;
}

}  // namespace

bool IsPhotoFault(TPrepFault fault) {
  return fault >= TPrepFault::Missing;
}

std::string FaultText(const TPrepResult& r) {
  using F = TPrepFault;
  const QString subject = QString::fromStdString(r.Subject);
  QString text;
  switch (r.Fault) {
    case F::NoPhotos:
      text = T(kNoPhotos);
      break;
    case F::NoFolder:
      text = T(kNoFolderGiven);
      break;
    case F::NotAFolder:
      text = T(kNotAFolder).arg(subject);
      break;
    case F::UnsafeFolder:
      text = T(r.Other == "home" ? kHomeFolder : kSystemFolder).arg(subject);
      break;
    case F::BadGeometry:
      text = T(kBadGeometry);
      break;
    case F::BadReference:
      text = T(kBadReference);
      break;
    case F::BadTemplate:
      text =
          r.Other.empty() ? T(kBadTemplate) : T(kUnknownField).arg(QString::fromStdString(r.Other));
      break;
    case F::NoName:
      text = T(kNoName).arg(Name(r.Subject));
      break;
    case F::BadName:
      // Its own name as it is: a "\\" in it is no folder here.
      text = T(kBadName).arg(
          QString::fromStdString(ShownName(r.Subject.substr(r.Subject.rfind('/') + 1))),
          QString::fromStdString(ShownName(r.Other)));
      break;
    case F::SameName:
      text = T(kSameName).arg(Name(r.Subject), Name(r.Other),
                              r.Names.empty() ? QString() : QString::fromStdString(r.Names[0]));
      break;
    case F::WriteProtected:
      text = T(kWriteProtected).arg(Name(r.Subject));
      break;
    case F::Original:
      text = T(kOriginal).arg(Name(r.Subject));
      break;
    case F::EarlierRun:
      text = T(kEarlierRun).arg(subject).arg(static_cast<int>(r.Names.size()));
      break;
    case F::NotOurs:
      text = T(kNotOurs).arg(subject, List(r.Names));
      break;
    case F::CannotMakeFolder:
      text = T(kCannotMakeFolder).arg(subject);
      break;
    case F::Cancelled:
      text = T(kCancelled);
      break;
    case F::Missing:
      text = T(kMissing);
      break;
    case F::NotAnImage:
      text = T(kNotAnImage);
      break;
    case F::CutOff:
      text = T(kCutOff);
      break;
    case F::TooLarge:
      text = T(kTooLarge);
      break;
    case F::OtherShape:
      text = T(kOtherShape).arg(QString::fromStdString(r.Other));
      break;
    case F::WriteFailed:
      text = T(kWriteFailed);
      break;
    case F::None:
      text = T(kFailedOther);
      break;
  }
  return text.toStdString();
}

}  // namespace kalvane::fotomill
