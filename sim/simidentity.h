#pragma once
// What the simulated sensor says about itself: which catalogue row it is, its
// option bits, and the identity line it answers to the unit query.
//
// The identity is built the way the devices build it: a four-character
// software version, "PV=" and the protocol version, "HEATING=1" on heated and
// "AXIS=UV"/"AXIS=UVW" on modular stations, "OPTION=" and the option code on
// Tempris stations, the quoted product ("TEMPRIS KDX530-3-0803": model, type
// code and four hexadecimal option digits) and the unit address in brackets.
#include <QString>

// Feature bits a Tempris station reports in its option code.
namespace SimOption
{
constexpr unsigned Tilt = 0x0001;
constexpr unsigned Precipitation = 0x0002;
constexpr unsigned PitchRoll = 0x0004;
constexpr unsigned HeatStress = 0x0800;
constexpr unsigned Pin = 0x1000;
constexpr unsigned Heating = 0x8000;
} // namespace SimOption

struct SimProduct {
    int row = -1; // index into aProductDefs()
    unsigned optionBits = 0;
    bool optionBitsGiven = false; // taken from an identity reply or the command line
    bool IsTempris() const;
    QString TypeCode() const; // Tempris only: "3B"
};

// The row whose menu name equals text, or, when text looks like an identity
// reply (it has "PV="), the row that reply describes; row -1 and a reason
// in error when there is none.
SimProduct FindProduct(const QString &text, QString *error);

// Option bits that a station of this row ships with by default. They are
// chosen so that some of the product's optional features are fitted and
// some are not (see the README's section on the simulator).
unsigned DefaultOptionBits(int row);

// The identity (without "ID:") for this product and unit address.
QString BuildIdentity(const SimProduct &product, const QString &address);
