#include "math/error_function.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__AVX512F__) && defined(__FMA__)
#include <immintrin.h>
#endif

#include "math/exponential_of_square.h"
#include "math/horner.h"

namespace korvex {
namespace {

// erfcx on 0 <= x <= 62.67 as polynomials of degree 7 in t = y - (7 + 2k), y = 400 / (4 + x),
// on the 47 intervals 6 + 2k <= y <= 8 + 2k. Chebyshev interpolants computed with 50-digit
// arithmetic by scripts/generate_math_tables.py; their truncation error is below 1e-17.
constexpr int interval_count = 47;
constexpr double erfcx_polynomials[interval_count][8] = {
    {0.010614592077509536, 0.0016299288647143439, 1.739330048655596e-05,
     1.788200053734026e-07, 1.7644681601624497e-09, 1.663001856210297e-11,
     1.4880256148120126e-13, 1.2531389641813573e-15},
    {0.013945482342263822, 0.001701705729245929, 1.850993472426245e-05,
     1.9362547641973976e-07, 1.9400574423442412e-09, 1.8525207906750207e-11,
     1.6749522331768244e-13, 1.4207468462683351e-15},
    {0.017424514188093033, 0.0017781325705180818, 1.971977214687797e-05,
     2.0991455602097086e-07, 2.1357684880150726e-09, 2.0659377140545862e-11,
     1.8869184322713628e-13, 1.6113138984887735e-15},
    {0.02106137257984517, 0.001859600668079089, 2.1032217063069617e-05,
     2.2785819124152388e-07, 2.3541479452872236e-09, 2.3064580426269133e-11,
     2.1273469813761048e-13, 1.8278724096135444e-15},
    {0.024866564068070394, 0.0019465410542008413, 2.2457763231991007e-05,
     2.4764904099066807e-07, 2.59808441054718e-09, 2.577724289168145e-11,
     2.4001089070703387e-13, 2.073797378896321e-15},
    {0.02885150083157889, 0.0020394291435237005, 2.4008132701777394e-05,
     2.6950439381335547e-07, 2.8708549249613787e-09, 2.8838727895766247e-11,
     2.7095729569698004e-13, 2.352827190564956e-15},
    {0.033028594558747196, 0.0021387899546030653, 2.569643331728403e-05,
     2.936694811464306e-07, 3.1761774459935037e-09, 3.2295965291836556e-11,
     3.0606576928262496e-13, 2.669080234933876e-15},
    {0.037411361429314643, 0.002245204002976323, 2.753733741820021e-05,
     3.204212363198191e-07, 3.518269918437154e-09, 3.6202143456878113e-11,
     3.458885523617735e-13, 3.0270656853791286e-15},
    {0.04201453962814581, 0.0023593139560769472, 2.954728456554101e-05,
     3.5007255467705065e-07, 3.901916592504784e-09, 4.0617466870796633e-11,
     3.9104377173710275e-13, 3.431686338809781e-15},
    {0.04685422101489376, 0.0024818321523598533, 3.174471148242405e-05,
     3.8297711542456597e-07, 4.332542247978758e-09, 4.560997969222974e-11,
     4.4222091172548185e-13, 3.8882311421918984e-15},
    {0.05194799879146622, 0.0026135491004941566, 3.415031277451496e-05,
     4.19534831087424e-07, 4.816294979568248e-09, 5.125645404168698e-11,
     5.001860936926236e-13, 4.402354783536574e-15},
    {0.05731513325570798, 0.002755343089552379, 3.67873364063704e-05,
     4.601979956111181e-07, 5.360138175226679e-09, 5.764333952735679e-11,
     5.657869629937736e-13, 4.980041551908035e-15},
    {0.06297673800805427, 0.0029081910579024386, 3.968191835098084e-05,
     5.054782070310044e-07, 5.971952271717252e-09, 6.486776790518702e-11,
     6.399569430347393e-13, 5.627550600661516e-15},
    {0.06895598929160819, 0.0030731808871071902, 4.2863461298818696e-05,
     5.559541450207575e-07, 6.660646795411895e-09, 7.303860364144109e-11,
     7.237185763469476e-13, 6.351339816483898e-15},
    {0.07527836149890012, 0.003251525307660689, 4.63650628059502e-05,
     6.122802872795174e-07, 7.436283086412806e-09, 8.227752755478507e-11,
     8.181856348813542e-13, 7.157965738367252e-15},
    {0.0819718922744418, 0.003444577625927776, 5.022399877297747e-05,
     6.751966513369361e-07, 8.310207956096679e-09, 9.272013669704611e-11,
     9.245636488129148e-13, 8.053957415743337e-15},
    {0.08906748108518336, 0.0036538495062661677, 5.44822686706223e-05,
     7.45539649625267e-07, 9.295198338176978e-09, 1.0451703926216379e-10,
     1.0441484780270578e-12, 9.045662765929328e-15},
    {0.09659922562530689, 0.0038810310690278248, 5.918720945451225e-05,
     8.242541452391134e-07, 1.0405616758374198e-08, 1.178349187043834e-10,
     1.1783225363807804e-12, 1.0139066897923851e-14},
    {0.1046048009716491, 0.0041280135939479375, 6.439218562989611e-05,
     9.124067933088332e-07, 1.1657577166117529e-08, 1.328575365516958e-10,
     1.3285482790768185e-12, 1.1339583006679788e-14},
    {0.11312588701557708, 0.004396915149274745, 7.015736342308007e-05,
     1.0112007479785348e-06, 1.3069120343431253e-08, 1.4978663880963137e-10,
     1.4963585811329928e-12, 1.2651817784652753e-14},
    {0.12220865037029974, 0.004690109499752482, 7.655057747458848e-05,
     1.121991807238331e-06, 1.4660397733425561e-08, 1.6884272658875572e-10,
     1.6833436725567472e-12, 1.40793148006373e-14},
    {0.13190428769304186, 0.005010258681056487, 8.364829887154272e-05,
     1.2463060569737857e-06, 1.6453862118146354e-08, 1.9026564790829012e-10,
     1.8911343552599308e-12, 1.5624280894379675e-14},
    {0.1422696381724388, 0.00536034966423212, 9.153671366373634e-05,
     1.3858590612706054e-06, 1.8474463130079683e-08, 2.1431496479566785e-10,
     2.1213813087402916e-12, 1.7287302245933355e-14},
    {0.1533678738155342, 0.005743735570763259, 0.00010031292123802469,
     1.5425766280247816e-06, 2.0749845113188567e-08, 2.4127004808684514e-10,
     2.3757303956159733e-12, 1.906705830429094e-14},
    {0.1652692771277047, 0.006164181936659957, 0.00011008626203650562,
     1.7186171571220941e-06, 2.3310544370453045e-08, 2.714298519897669e-10,
     2.6557940023126983e-12, 2.0960043096137376e-14},
    {0.1780521168135645, 0.006625918561885226, 0.00012097978407261896,
     1.916395552840237e-06, 2.6190182360363788e-08, 3.0511232172670043e-10,
     2.9631185911866963e-12, 2.2960304478459562e-14},
    {0.19180363323715768, 0.007133697518923602, 0.00013313185750302536,
     2.1386086527932504e-06, 2.9425650951560687e-08, 3.426533905941622e-10,
     3.299148793327857e-12, 2.505921255257347e-14},
    {0.20662114656393593, 0.007692857930625478, 0.0001466979461302575,
     2.3882620929240217e-06, 3.3057285431111836e-08, 3.8440552768070903e-10,
     3.66518853020454e-12, 2.7245268643029125e-14},
    {0.22261330176207508, 0.008309398161854482, 0.0001618525441218873,
     2.668698492148662e-06, 3.7129020606803036e-08, 4.307358042934566e-10,
     4.0623598102187005e-12, 2.9503965908080166e-14},
    {0.23990146596187284, 0.008990056101059874, 0.00017879128541935094,
     2.9836268018110775e-06, 4.168852506613467e-08, 4.820234558069379e-10,
     4.4915599956087884e-12, 3.181771176397304e-14},
    {0.25862129505279013, 0.00974239823577069, 0.00019773323226036254,
     3.337152624809013e-06, 4.6787308472357306e-08, 5.386569260143321e-10,
     4.953418468319341e-12, 3.4165820881364334e-14},
    {0.2789244878297423, 0.010574918249197774, 0.00021892334794433867,
     3.733809267932034e-06, 5.248079670673612e-08, 6.01030392892498e-10,
     5.448253733153107e-12, 3.652458559070828e-14},
    {0.30098074747316356, 0.011497145882643955, 0.00024263515742708496,
     4.178589249551635e-06, 5.882836971942276e-08, 6.695397876667917e-10,
     5.976032076251422e-12, 3.886742818832868e-14},
    {0.3249799716488073, 0.012519766819270146, 0.00026917359754175706,
     4.676975944359303e-06, 6.589335713835164e-08, 7.445783327866367e-10,
     6.53632894146086e-12, 4.1165136967320125e-14},
    {0.3511346940289053, 0.01365475434797737, 0.00029887805661679733,
     5.234975008454894e-06, 7.374298701177554e-08, 8.265316384516893e-10,
     7.1282941927594455e-12, 4.338618492940967e-14},
    {0.3796828015499836, 0.014915513560822538, 0.00033212560101382856,
     5.8591451928642675e-06, 8.244828352606806e-08, 9.157724111810955e-10,
     7.750622395761316e-12, 4.549712720020121e-14},
    {0.41089055321636253, 0.016317038822646148, 0.0003693343836617077,
     6.556628122616613e-06, 9.20839101420322e-08, 1.0126548411036956e-09,
     8.401529175446579e-12, 4.746307030955924e-14},
    {0.44505592771259006, 0.017876085226712152, 0.00041096722704594393,
     7.3351765928899905e-06, 1.027279553210753e-07, 1.117508746686238e-09,
     9.07873459264406e-12, 4.924820384525576e-14},
    {0.4825123284818643, 0.01961135471453111, 0.00045753537036037,
     8.203180914398447e-06, 1.14461658853523e-07, 1.2306335660654564e-09,
     9.779454332194169e-12, 5.081638266261287e-14},
    {0.5236326762389015, 0.021543697491195037, 0.0005096023676806012,
     9.169692827978934e-06, 1.2736907773714275e-07, 1.3522922926188939e-09,
     1.0500399316469956e-11, 5.213174593739651e-14},
    {0.568833920091944, 0.023696329309204314, 0.0005677881211212719,
     1.0244446503916589e-05, 1.4153669156317995e-07, 1.4827054585811677e-09,
     1.1237784155625137e-11, 5.3159357960732814e-14},
    {0.618581999526539, 0.026095065123808388, 0.0006327730300396383,
     1.1437876145414871e-05, 1.570529484256679e-07, 1.6220452741543372e-09,
     1.1987344628044293e-11, 5.386585474267393e-14},
    {0.6733972904301907, 0.028768569541406407, 0.0007053022344975824,
     1.2761129728063123e-05, 1.7400775345137931e-07, 1.7704300305336177e-09,
     1.2744364158957623e-11, 5.422008023569434e-14},
    {0.7338605690892152, 0.031748624389860036, 0.0007861899284441639,
     1.4226078428255673e-05, 1.9249190312555315e-07, 1.9279188735298827e-09,
     1.3503709040102594e-11, 5.419369630313536e-14},
    {0.8006195286451635, 0.03507041363616488, 0.0008763237154832536,
     1.5845321323135043e-05, 2.125964696355164e-07, 2.094507050070484e-09,
     1.4259871916427689e-11, 5.376175140689604e-14},
    {0.8743958828372581, 0.03877282576351904, 0.0009766689776956072,
     1.763218498241578e-05, 2.3441214044456267e-07, 2.2701217229418685e-09,
     1.500702286426945e-11, 5.290319431777872e-14},
    {0.9559930919602909, 0.04289877359732347, 0.0010882732258394334,
     1.9600717617843403e-05, 2.580285192178161e-07, 2.4546184399235954e-09,
     1.5739067205415028e-11, 5.1601320887525384e-14},
};

double erfcx_polynomial(double x)
{
    // t = y - c = (400 - 4c - c x) / (4 + x): written this way, t carries no rounding error of
    // y itself (up to 1.4e-14 near y = 100, which would cost 3 ulp in erfcx near x = 0).
    const double inverse = 1.0 / (4.0 + x);
    const int k = std::min(static_cast<int>((400.0 * inverse - 6.0) * 0.5), interval_count - 1);
    const double centre = 7.0 + 2.0 * k;
    const double t = std::fma(-centre, x, 400.0 - 4.0 * centre) * inverse;
    return details::horner(erfcx_polynomials[k], t);
}

// Laplace's continued fraction x + (1/2)/(x + 1/(x + (3/2)/(x + 2/x))), as one rational
// function; its truncation error is below 5e-18 for x >= 62.
double erfcx_continued_fraction(double x)
{
    constexpr double inverse_sqrt_pi = std::numbers::inv_sqrtpi;
    if (x > 5e7)  // the next term, 1/(2 x^2), is below eps
        return inverse_sqrt_pi / x;
    const double x2 = x * x;
    return inverse_sqrt_pi * (x2 * (x2 + 4.5) + 2.0) / (x * (x2 * (x2 + 5.0) + 3.75));
}

double erfcx_non_negative(double x)
{
    return x <= 62.5 ? erfcx_polynomial(x) : erfcx_continued_fraction(x);
}

constexpr int coefficient_count = 8;

#if defined(__AVX512F__) && defined(__FMA__)
// The table by coefficient: columns[j][k] is coefficient j of interval k, with a 48th interval
// (a copy of the last, never chosen) so that each column fills six vectors of eight.
constexpr auto erfcx_columns = [] {
    std::array<std::array<double, 48>, coefficient_count> columns{};
    for (int j = 0; j < coefficient_count; ++j)
        for (int k = 0; k < 48; ++k)
            columns[j][k] = erfcx_polynomials[std::min(k, interval_count - 1)][j];
    return columns;
}();

// erfcx_polynomial() at one point with every multiply-add fused: the operations of the
// vector form below, lane for lane, so the same bits.
double fused_polynomial(double x)
{
    const double inverse = 1.0 / (4.0 + x);
    const int k = std::min(static_cast<int>(std::fma(400.0, inverse, -6.0) * 0.5), interval_count - 1);
    const double centre = std::fma(2.0, k, 7.0);
    const double t = std::fma(-centre, x, std::fma(-4.0, centre, 400.0)) * inverse;
    const double* c = erfcx_polynomials[k];
    double sum = c[coefficient_count - 1];
    for (int j = coefficient_count - 2; j >= 0; --j)
        sum = std::fma(sum, t, c[j]);
    return sum;
}

// erfcx_polynomial() at v[0 ... count-1], which lie in [0, 62.5], eight points at a time:
// each coefficient is chosen from its column by three two-vector permutations and two
// blends, a third of the cost of a gather of eight. The points after the last eight (all of
// them in the short arrays of a single option) take fused_polynomial(), which gives the same
// values.
void polynomials_in_place(double* v, std::size_t count)
{
    const std::size_t vectors_end = count / 8 * 8;
    const __m512d one = _mm512_set1_pd(1.0), four = _mm512_set1_pd(4.0), c400 = _mm512_set1_pd(400.0);
    constexpr __mmask8 all = 0xff;  // the masked conversions: GCC 12 warns wrongly of the others
    for (std::size_t i = 0; i < vectors_end; i += 8) {
        const __m512d x = _mm512_loadu_pd(v + i);
        const __m512d inverse = _mm512_div_pd(one, _mm512_add_pd(four, x));
        const __m512d position =
            _mm512_mul_pd(_mm512_fmsub_pd(c400, inverse, _mm512_set1_pd(6.0)), _mm512_set1_pd(0.5));
        const __m256i k32 = _mm256_min_epi32(_mm512_maskz_cvttpd_epi32(all, position), _mm256_set1_epi32(interval_count - 1));
        const __m512i k = _mm512_maskz_cvtepi32_epi64(all, k32);
        const __m512d centre = _mm512_fmadd_pd(_mm512_set1_pd(2.0), _mm512_maskz_cvtepi32_pd(all, k32), _mm512_set1_pd(7.0));
        const __m512d t = _mm512_mul_pd(_mm512_fnmadd_pd(centre, x, _mm512_fnmadd_pd(four, centre, c400)), inverse);
        const __mmask8 middle = _mm512_cmpge_epi64_mask(k, _mm512_set1_epi64(16));
        const __mmask8 high = _mm512_cmpge_epi64_mask(k, _mm512_set1_epi64(32));
        const auto coefficient = [&](int j) {
            const double* column = erfcx_columns[static_cast<std::size_t>(j)].data();
            const __m512d low_part = _mm512_permutex2var_pd(_mm512_loadu_pd(column), k, _mm512_loadu_pd(column + 8));
            const __m512d middle_part =
                _mm512_permutex2var_pd(_mm512_loadu_pd(column + 16), k, _mm512_loadu_pd(column + 24));
            const __m512d high_part =
                _mm512_permutex2var_pd(_mm512_loadu_pd(column + 32), k, _mm512_loadu_pd(column + 40));
            return _mm512_mask_blend_pd(high, _mm512_mask_blend_pd(middle, low_part, middle_part), high_part);
        };
        __m512d sum = coefficient(coefficient_count - 1);
        for (int j = coefficient_count - 2; j >= 0; --j)
            sum = _mm512_fmadd_pd(sum, t, coefficient(j));
        _mm512_storeu_pd(v + i, sum);
    }
    for (std::size_t i = vectors_end; i < count; ++i)
        v[i] = fused_polynomial(v[i]);
}
#else
// erfcx_polynomial() at v[0 ... count-1], which lie in [0, 62.5], as one loop that the
// compiler vectorises: no branch, no inner loop, each point's coefficients read from the flat
// table by index (gathers); v is a local array of the caller's, so that the compiler needs
// no alias check between the table and the results.
void polynomials_in_place(double* v, std::size_t count)
{
    const double* c = &erfcx_polynomials[0][0];
    for (std::size_t i = 0; i < count; ++i) {
        const double inverse = 1.0 / (4.0 + v[i]);
        const int k = std::min(static_cast<int>((400.0 * inverse - 6.0) * 0.5), interval_count - 1);
        const double centre = 7.0 + 2.0 * k;
        const double t = std::fma(-centre, v[i], 400.0 - 4.0 * centre) * inverse;
        const int first = k * coefficient_count;
        v[i] = ((((((c[first + 7] * t + c[first + 6]) * t + c[first + 5]) * t + c[first + 4]) * t + c[first + 3]) * t +
                 c[first + 2]) * t + c[first + 1]) * t + c[first];
    }
}
#endif

}  // namespace

double error_function::erfcx(double x)
{
    if (x >= 0.0)
        return erfcx_non_negative(x);
    if (x < -26.7)  // 2 exp(x^2) overflows; also catches -inf
        return HUGE_VAL;
    if (std::isnan(x))
        return x;
    return 2.0 * details::exponential_of_square(x, 1.0) - erfcx_non_negative(-x);
}

void error_function::erfcx(std::size_t size, const double* x, double* out)
{
    // Block by block: the points clamped into the polynomials' range, the polynomials, then
    // the points outside the range.
    constexpr std::size_t block = 128;
    double kept[block], v[block];
    for (std::size_t start = 0; start < size; start += block) {
        const std::size_t count = std::min(block, size - start);
        std::copy_n(x + start, count, kept);
        int outside = 0;
        for (std::size_t i = 0; i < count; ++i) {  // no branch, so that it vectorises
            const bool in_range = (kept[i] >= 0.0) & (kept[i] <= 62.5);
            outside += in_range ? 0 : 1;
            v[i] = in_range ? kept[i] : 0.0;
        }
        polynomials_in_place(v, count);
        double* result = out + start;
        std::copy_n(v, count, result);
        if (outside > 0)
            for (std::size_t i = 0; i < count; ++i)
                if (!(kept[i] >= 0.0 && kept[i] <= 62.5))
                    result[i] = erfcx(kept[i]);
    }
}

}  // namespace korvex
