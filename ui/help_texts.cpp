#include "ui/help_texts.h"

namespace tesvo::ui {
namespace {

// Each topic is the pieces in order with nothing between them. Paragraphs
// under a numbered heading are indented by four blanks.
std::string Join(std::initializer_list<const char*> pieces) {
  std::string text;
  for (const char* piece : pieces) text += piece;
  return text;
}

std::array<HelpTopic, 5> BuildTopics() {
  return {{
      {1, "GENERACIÓN DE IMÁGENES",
       Join(
           {"Estas son unas instrucciones de uso. Acerca de qué es el conjunto de Mandelbrot o los conjuntos "
            "de Julia, ver la web Orvanel (",
            kWebAddress,
            "). En cualquier caso basta saber que hay un solo conjunto de Mandelbrot (aunque se pueda "
            "representar de distintos modos), y que por cada punto del conjunto de Mandelbrot hay un "
            "conjunto de Julia distinto.\n\n",
            "Este programa lo que permite es obtener el conjunto de Mandelbrot, ampliar zonas del dibujo y "
            "jugar con sus colores. Además se pueden generar los conjuntos de Julia asociados, y hacer con "
            "ellos las mismas operaciones: ampliaciones y cambios de color.\n\n",
            "Además, aquellas imágenes que se consideren interesantes se podrán grabar.\n\n",
            "En la barra de título se puede ver si la imagen dibujada en cada momento es un conjunto de "
            "Mandelbrot o un conjunto de Julia.\n\n",
            "\n1. INICIAR CONJUNTO DE MANDELBROT\n",
            "    Genera el conjunto de Mandelbrot correspondiente al modo que ves en la caja de texto.\n",
            "\n2. MODO\n", "    Se elige el modo de representación.\n", "\n3. ZOOM\n",
            "    Con el botón izquierdo del ratón se marca la zona que se quiere ampliar y se suelta."})},
      {2, "LEER, GRABAR Y BORRAR",
       Join(
           {"\n1. LEER\n", "    Para leer una imagen ya grabada basta elegirla de la lista.\n",
            "    Además, en dicha lista siempre están disponibles las dos últimas imágenes generadas con los "
            "nombres 'última' y 'penúltima'.\n",
            "\n2. BORRAR\n", "    Se elige la imagen de la lista y se le da al botón 'Borrar'.\n",
            "\n3. LEER ANTERIOR - LEER SIGUIENTE\n",
            "    Se muestran las imágenes grabadas en el orden en que se encuentran en la lista 'Leer'.\n",
            "\n4. GRABAR\n",
            "    Cuando una de las imágenes que se ven en la imagen grande de la derecha se quiere grabar, "
            "basta darle al botón 'Grabar' y escribir el nombre deseado para la imagen (sin extensión).\n",
            "\n¿QUÉ FICHEROS SE GRABAN? ¿Y DÓNDE?\n",
            "    Los ficheros se grabarán en la carpeta donde se encuentre el programa ejecutable Tesvo.exe. "
            "También se puede escribir una ruta completa para que los ficheros se graben en otra carpeta, "
            "pero en este caso no aparecerán en la lista de ficheros para lectura.\n\n",
            "    Se graban dos ficheros. El de extensión DAT solo ocupa 200 bytes y posee la información "
            "necesaria para reconstruir la imagen, mientras que el fichero PIX, mucho más voluminoso, "
            "contiene la imagen punto a punto, y se crea para que la lectura de las imágenes grabadas sea "
            "más rápida. Si lo que quieres es enviarle una imagen a otro usuario de este programa, basta "
            "que le envíes el fichero DAT: Tesvo se encargará de reconstruirla.\n\n",
            // What the program adds to the two files; one line, the last the text area holds.
            "    Además se graba un tercero, el dibujo PNG, con el 'Tamaño del dibujo' y el 'Suavizado' "
            "elegidos al grabar.\n"})},
      {3, "COLORES",
       Join({"\n1. GRADADO COLOR\n",
             "    Más gradado quiere decir que el paso de un color a otro se realiza con más suavidad.\n",
             "\n2. CAMBIAR COLORES\n",
             "    Los colores utilizados se cambian aleatoriamente. Para volver a los colores iniciales, "
             "basta "
             "darle al botón anterior.\n",
             "\n3. GRISES\n", "    Se aplica a la imagen una gama de grises.\n", "\n4. COLORES INICIALES\n",
             "    El programa aplica por defecto un conjunto de colores. Con este botón siempre se pueden "
             "recuperar.\n"})},
      {4, "CONJUNTOS DE JULIA",
       Join(
           {"\n1. CONJUNTO DE JULIA ASOCIADO A UN PUNTO DEL CONJUNTO DE MANDELBROT\n",
            "    Se marca con el botón derecho del ratón en un punto de la imagen de la derecha, siempre que "
            "esta corresponda a un conjunto de Mandelbrot.\n",
            "\n2. a+bi\n",
            "    Permite generar el conjunto de Julia correspondiente a un cierto parámetro complejo c a "
            "partir de sus partes real e imaginaria.\n",
            "\n3. AMPLIAR\n",
            "    La pequeña imagen que aparece abajo a la izquierda (que se ha obtenido o bien con el botón "
            "anterior o bien marcando algún punto del conjunto de Mandelbrot con el botón derecho del "
            "ratón) se amplia a la derecha. A partir de ese momento, todos los demás controles actúan "
            "sobre la imagen ampliada.\n"})},
      {5, "PRECISIÓN",
       Join(
           {"\n1. PRECISIÓN\n",
            "    Cuando la imagen obtenida, especialmente después de aplicarle el Zoom, pierda nitidez o "
            "aparezcan muchas zonas negras, aumentando la precisión se mejorará la imagen, aunque se "
            "ralentizará su generación.\n",
            "\n2. AMPLIACIONES PROFUNDAS\n",
            "    Cuando el zoom llega a una zona tan pequeña que los números ordinarios ya no distinguen un "
            "punto de su vecino (hacia un ancho de 1e-10), la imagen se calcula con números de muchas más "
            "cifras: un solo punto se sigue con toda precisión y los demás como pequeñas diferencias con él. "
            "Así se puede seguir ampliando; la barra de título muestra el ancho de la zona. A esa "
            "profundidad la precisión sube de 5000 hasta 16777216, y el tiempo de cálculo crece con ella: "
            "una imagen lenta se para con Esc o con 'Cancelar', y queda la anterior. Estas imágenes se "
            "graban, se leen y se borran como las demás; el modo 'inversión' no se calcula a esa "
            "profundidad.\n"})},
  }};
}

}  // namespace

const std::array<HelpTopic, 5>& HelpTopics() {
  static const std::array<HelpTopic, 5> topics = BuildTopics();
  return topics;
}

const HelpTopic* FindHelpTopic(int number) {
  for (const HelpTopic& topic : HelpTopics())
    if (topic.number == number) return &topic;
  return nullptr;
}

}  // namespace tesvo::ui
