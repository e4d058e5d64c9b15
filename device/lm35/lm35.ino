/*
  lm35: Arduino Uno come termometro per Quorin e Quorind

  Legge la temperatura da un LM35 sul pin A0 e la manda al PC come fa il
  sensore: il byte 255 di sincronismo, poi il codice del campione, da 1 a
  254, sulla porta seriale a 9600 baud, 8 bit, nessuna parità, 1 bit di stop.

  L'LM35 dà 10 mV per ogni grado: 0 mV a 0 gradi, 1000 mV a 100 gradi.
  I programmi mostrano il codice 1 come 0,0 e il codice 254 come 100,0,
  quindi il valore mostrato è la temperatura in gradi Celsius.
  Sopra i 100 gradi si vede sempre 100,0.

  La tensione si misura contro il riferimento interno dell'ATmega328P, di
  circa 1,1 V, che cambia da chip a chip fra 1,0 e 1,2 V: se il valore non
  va d'accordo con un termometro, si corregge RIFERIMENTO_MV qui sotto (la
  guida spiega come, con un esempio).

  Collegamenti (LM35 visto dal lato piatto, piedini in basso):
    - piedino di sinistra (+Vs)  -> 5V dell'Arduino
    - piedino centrale (Vout)    -> A0 dell'Arduino
    - piedino di destra (GND)    -> GND dell'Arduino
  L'Arduino si collega al PC con il cavo USB, che lo alimenta.

  Questo sketch fa parte di Quorin (GPL-3.0-or-later).
*/

// Il pin su cui arriva la tensione dell'LM35.
const int PIN_SENSORE = A0;

// La velocità della linea seriale che i programmi si aspettano.
const long BAUD = 9600;

// Il byte che annuncia ogni campione. Nessun codice vale 255, così chi
// riceve riconosce sempre l'inizio di un campione.
const byte SINCRONISMO = 255;

// I codici vanno da 1 a 254: 0 non si usa e 255 è il sincronismo.
// Fra il primo e l'ultimo ci sono 254 - 1 = 253 passi.
const long CODICE_MINIMO = 1;
const long CODICE_MASSIMO = 254;
const long PASSI = 253;

// Il riferimento interno in millivolt: analogRead() divide questa tensione
// in 1024 passi. Vale circa 1100 mV, ma su ogni chip è un po' diverso (da
// 1000 a 1200 mV). Per tarare il termometro: se la classe legge T_mostrata
// mentre un termometro accanto al sensore segna T_vera, il nuovo valore è
//   RIFERIMENTO_MV * T_vera / T_mostrata
// Per esempio 1100 * 22,0 / 24,1 = 1004: si scrive 1004 e si ricarica.
const long RIFERIMENTO_MV = 1100;

// Con 1100 mV ogni passo vale 1100 / 1024 = 1,07 mV, cioè circa un decimo
// di grado: circa 4,5 volte più fine (5000 / 1100) dei 4,88 mV di un passo
// con il riferimento di 5 V.
const long PASSI_ADC = 1024;

// L'LM35 dà 10 mV per grado: 100 gradi sono 1000 mV, il codice 254.
const long MV_MASSIMI = 1000;

// Ogni codice è la media di 8 letture: un valore fermo resta fermo.
// 8 letture durano meno di 1 ms, meno dei 2 ms che servono per spedire
// un campione (2 byte a 9600 baud), quindi la linea non resta mai ferma.
const int LETTURE = 8;

void setup() {
  analogReference(INTERNAL);
  // La prima lettura dopo il cambio di riferimento non è precisa: si scarta.
  analogRead(PIN_SENSORE);
  Serial.begin(BAUD);
}

void loop() {
  long somma = 0;
  for (int i = 0; i < LETTURE; i++) {
    somma = somma + analogRead(PIN_SENSORE);
  }

  // Da letture a millivolt, arrotondando: ogni passo vale RIFERIMENTO_MV
  // diviso 1024, e nella somma ci sono 8 letture.
  long passiTotali = PASSI_ADC * LETTURE;
  long millivolt = (somma * RIFERIMENTO_MV + passiTotali / 2) / passiTotali;

  // Da millivolt a codice, arrotondando: 0 mV è il codice 1, 1000 mV
  // (100 gradi) il codice 254.
  long codice = CODICE_MINIMO + (millivolt * PASSI + MV_MASSIMI / 2) / MV_MASSIMI;

  // Sopra i 100 gradi il codice resta 254: 255 è il sincronismo.
  if (codice > CODICE_MASSIMO) {
    codice = CODICE_MASSIMO;
  }

  // Serial.write() aspetta quando il buffer è pieno: i campioni escono
  // uno dopo l'altro, al ritmo della linea (circa 480 al secondo).
  Serial.write(SINCRONISMO);
  Serial.write((byte) codice);
}
