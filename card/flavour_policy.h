// The decisions in which the checker's and the settings program's copies of
// the card-access code differ, gathered in one place so that there is only
// one discovery and one poll.
#ifndef ORVANE_CARD_FLAVOUR_POLICY_H
#define ORVANE_CARD_FLAVOUR_POLICY_H

#include "card/card_access.h"

namespace orvane {

struct FlavourPolicy {
  // Longest reader name stored in the table.
  int readerNameLength;
  // Settings program: keeps a trimmed display name per reader, discovers only
  // while no reader kind is set, and reports the result to its view.
  bool keepsDisplayNames;
  bool discoversOnlyWithoutReader;
  bool reportsToView;
  // Checker: the poll runs discovery itself while no reader kind is set.
  bool discoversInPoll;
  // Card-type byte 1: Mifare (settings) or unclassified (checker).
  bool cardTypeOneIsMifare;
  // Card-type bytes 2 and 8: a refused card read to the end (settings), or
  // the poll ends with no card at once (checker).
  bool refusesCards;
  // The identity is cleared right after connecting (settings), otherwise just
  // before the ID command (checker).
  bool clearsIdentityAtConnect;
  // On a PaSoRi reader, which card classes go through the ATR test: only
  // library-needed (settings), or every class but FeliCa (checker).
  bool atrTestOnlyForLibraryNeeded;
  // FeliCa card whose PMm step does not succeed: keep the IDm (checker) or
  // clear the identity (settings).
  bool keepsPartialFelicaIdentity;
  // Settings program: records the card kind and calls the sound hook.
  bool recordsCardKind;
  bool playsSound;
};

constexpr FlavourPolicy kCheckerPolicy = {
    kCheckerReaderNameLength,
    /*keepsDisplayNames=*/false,
    /*discoversOnlyWithoutReader=*/false,
    /*reportsToView=*/false,
    /*discoversInPoll=*/true,
    /*cardTypeOneIsMifare=*/false,
    /*refusesCards=*/false,
    /*clearsIdentityAtConnect=*/false,
    /*atrTestOnlyForLibraryNeeded=*/false,
    /*keepsPartialFelicaIdentity=*/true,
    /*recordsCardKind=*/false,
    /*playsSound=*/false,
};

constexpr FlavourPolicy kSettingPolicy = {
    kSettingReaderNameLength,
    /*keepsDisplayNames=*/true,
    /*discoversOnlyWithoutReader=*/true,
    /*reportsToView=*/true,
    /*discoversInPoll=*/false,
    /*cardTypeOneIsMifare=*/true,
    /*refusesCards=*/true,
    /*clearsIdentityAtConnect=*/true,
    /*atrTestOnlyForLibraryNeeded=*/true,
    /*keepsPartialFelicaIdentity=*/false,
    /*recordsCardKind=*/true,
    /*playsSound=*/true,
};

inline const FlavourPolicy& PolicyOf(const CardAccess& access) {
  return access.flavour == Flavour::Setting ? kSettingPolicy : kCheckerPolicy;
}

inline void PlayRecognitionHook(const CardAccess& access) {
  if (PolicyOf(access).playsSound && access.soundHook) access.soundHook(access.soundContext);
}

}  // namespace orvane

#endif
